#include "about/Form2.h"

#include "caption/GradForm.h"
#include "platform/forms/Accessible.h"
#include "platform/forms/Design.h"
#include "platform/forms/SingleInstance.h"
#include "resources/Art.h"

namespace tavro {

using namespace platform;
using namespace platform::forms;

namespace {

// The window while it is loaded; forgotten by its unload step, so that an
// "About" right after a close loads a fresh window instead of showing the one
// being torn down.
using OneForm = SingleInstance<Form2>;

constexpr platform::COLORREF Black = RGB(0, 0, 0);
constexpr platform::COLORREF Yellow = RGB(255, 255, 0);
constexpr platform::COLORREF Red = RGB(255, 0, 0);
constexpr platform::COLORREF Cyan = RGB(0, 255, 255);

Form::Design WindowDesign() {
    Form::Design d;
    d.caption = "About Tavro...";
    d.border = BorderStyle::FixedSingle;
    d.clientWidth = 7425;
    d.clientHeight = 4905;
    d.position = StartUpPosition::WindowsDefault;
    return d;
}

Image* PictureControl(Container* parent, const Picture& art, int left, int top, int width,
                      int height) {
    auto* image = new Image(parent);
    Place(image, left, top, width, height);
    image->setPicture(art); // takes the picture's natural size
    SetMousePointer(image, StandardPointer());
    return image;
}

Label* TextLabel(Container* parent, const std::string& caption, int left, int top, int width,
                 int height, platform::COLORREF colour, const Font& font, int tabIndex) {
    auto* label = new Label(parent, caption);
    Place(label, left, top, width, height);
    SetBackColor(label, Black);
    SetForeColor(label, colour);
    label->setFont(font);
    SetMousePointer(label, StandardPointer());
    SetTabIndex(label, tabIndex);
    return label;
}

} // namespace

Form2::Form2() : Form(WindowDesign()) {
    setIcon(art::WindowIcon());
    setBackColor(Black);
    setMousePointer(art::CustomPointer());
    createControls();
    ApplyTabOrder(*this);
    SetAccessibleRole(this, AccessibleRole::Dialog);
    Command1->Click = [this] { Command1_Click(); };
}

Form2::~Form2() = default;

Form2& Form2::Open() {
    if (!OneForm::Existing()) {
        OneForm::Adopt(new Form2());
    }
    // Loads when needed; a window already shown is only raised and activated.
    Form2& form = *OneForm::Existing();
    form.Show();
    return form;
}

Form2* Form2::Existing() {
    return OneForm::Existing();
}

void Form2::createControls() {
    Container* client = Client();

    Image2 = PictureControl(client, art::AboutPicture1(), 120, 120, 3735, 1980);
    Image1 = PictureControl(client, art::AboutPicture2(), 3840, 600, 3135, 1215);
    Image2->setAccessibleName("Tavro game launcher logo");
    Image1->setAccessibleName("Game pad");

    // Label2 is made after Label1, so its box lies over the lower part of Label1's.
    Label1 = TextLabel(client, "Tavro developers - tavro@example.org", 0, 2400, 7455, 1215, Yellow,
                       DesignFont("Arial", 18, false, true), 0);
    Label2 = TextLabel(client, "http://www.example.org/tavro/", 120, 3000, 6975, 495, Red,
                       DesignFont("Comic Sans MS", 14.25), 1);

    Command1 = new CommandButton(client, "OK");
    Place(Command1, 120, 4200, 7215, 615);
    SetBackColor(Command1, Cyan);
    Command1->setFont(DesignFont("Courier New", 11.25, true));
    SetMousePointer(Command1, StandardPointer());
    SetTabIndex(Command1, 2);
    // The only control that takes the focus: it holds it whenever the window
    // is active, and as the default button Enter presses it (Space already does).
    Command1->setDefault(true);
    Command1->setFocus();
}

void Form2::Form_Load() {
    SubclassWindow(hWnd());
}

void Form2::Form_Unload() {
    OneForm::Forget(this);
}

void Form2::Command1_Click() {
    UnsubclassWindow(hWnd());
    Unload();
}

} // namespace tavro

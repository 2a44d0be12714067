#include "about/Form2.h"

#include "caption/GradForm.h"
#include "platform/forms/Accessible.h"
#include "platform/forms/Design.h"
#include "platform/forms/SingleInstance.h"
#include "resources/Art.h"

namespace tavro {

using namespace platform::forms;

namespace {

// The window while it is loaded; forgotten by its unload step, so that an
// "About" right after a close loads a fresh window instead of showing the one
// being torn down.
using OneForm = SingleInstance<Form2>;

const QColor Black(0, 0, 0);
const QColor Yellow(255, 255, 0);
const QColor Red(255, 0, 0);
const QColor Cyan(0, 255, 255);

Form::Design WindowDesign() {
    Form::Design d;
    d.caption = QStringLiteral("About Tavro...");
    d.border = BorderStyle::FixedSingle;
    d.clientWidth = 7425;
    d.clientHeight = 4905;
    d.position = StartUpPosition::WindowsDefault;
    return d;
}

Image* Picture(QWidget* parent, const QPixmap& art, int left, int top, int width, int height) {
    auto* image = new Image(parent);
    Place(image, left, top, width, height);
    image->setPicture(art); // takes the picture's natural size
    SetMousePointer(image, StandardPointer());
    return image;
}

Label* TextLabel(QWidget* parent, const QString& caption, int left, int top, int width, int height,
                 const QColor& colour, const QFont& font, int tabIndex) {
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
    ApplyTabOrder(Client());
    SetAccessibleRole(this, QAccessible::Dialog);
    connect(Command1, &CommandButton::Click, this, &Form2::Command1_Click);
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
    QWidget* client = Client();

    Image2 = Picture(client, art::AboutPicture1(), 120, 120, 3735, 1980);
    Image1 = Picture(client, art::AboutPicture2(), 3840, 600, 3135, 1215);
    Image2->setAccessibleName(QStringLiteral("Tavro game launcher logo"));
    Image1->setAccessibleName(QStringLiteral("Game pad"));

    // Label2 is made after Label1, so its box lies over the lower part of Label1's.
    Label1 = TextLabel(client, QStringLiteral("Tavro developers - tavro@example.org"), 0, 2400,
                       7455, 1215, Yellow, DesignFont("Arial", 18, false, true), 0);
    Label2 = TextLabel(client, QStringLiteral("http://www.example.org/tavro/"), 120, 3000, 6975,
                       495, Red, DesignFont("Comic Sans MS", 14.25), 1);

    Command1 = new CommandButton(client, QStringLiteral("OK"));
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

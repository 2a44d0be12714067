#include "launcher/Form1.h"

#include "about/Form2.h"
#include "caption/GradForm.h"
#include "editor/edit.h"
#include "launcher/Declarations.h"
#include "launcher/DoEXE1.h"
#include "platform/forms/Accessible.h"
#include "platform/forms/App.h"
#include "platform/forms/Design.h"
#include "platform/forms/LoadPicture.h"
#include "platform/forms/MsgBox.h"
#include "platform/forms/SingleInstance.h"
#include "platform/system/shown_name.h"
#include "platform/window.h"
#include "resources/Art.h"
#include "settings/setvar.h"

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tavro {

using namespace platform;
using namespace platform::forms;

namespace {

using OneForm = SingleInstance<Form1>;

// The drivers: the files of this pattern in this directory of the program's.
const std::string DriverPattern = "*.drv";
std::string DriverDirectory(const std::string& programDirectory) {
    return programDirectory + "/drv/";
}

constexpr platform::COLORREF LightGreen = RGB(192, 255, 192);
constexpr platform::COLORREF LightYellow = RGB(255, 255, 192);
constexpr platform::COLORREF Cyan = RGB(0, 255, 255);
constexpr platform::COLORREF Blue = RGB(0, 0, 255);
constexpr platform::COLORREF White = RGB(255, 255, 255);

Form::Design WindowDesign() {
    Form::Design d;
    d.caption = "Tavro 0.1.5";
    d.border = BorderStyle::FixedSingle;
    d.clientWidth = 11475;
    d.clientHeight = 6630;
    d.position = StartUpPosition::CenterScreen;
    return d;
}

Label* TitleLabel(Container* parent, const std::string& caption, int left, int top, int width,
                  int height, platform::COLORREF colour, int tabIndex) {
    auto* label = new Label(parent, caption);
    Place(label, left, top, width, height);
    label->setTransparent(true);
    label->setFont(DesignFont("Courier New", 12, true));
    SetForeColor(label, colour);
    SetMousePointer(label, art::CustomPointer());
    SetTabIndex(label, tabIndex);
    return label;
}

OptionButton* Option(Container* frame, const std::string& caption, int top, int width, int height,
                     platform::COLORREF back, bool customPointer, int tabIndex) {
    auto* button = new OptionButton(frame, caption);
    Place(button, 0, top, width, height);
    SetBackColor(button, back);
    SetMousePointer(button, customPointer ? art::CustomPointer() : StandardPointer());
    SetTabIndex(button, tabIndex);
    return button;
}

// A container for a group of options, drawn without border or caption.
Frame* BuildFrame(Container* parent, const std::string& caption, int left, int width, int height,
                  platform::COLORREF back, int tabIndex) {
    auto* container = new Frame(parent, caption);
    Place(container, left, 1080, width, height);
    SetBackColor(container, back);
    SetMousePointer(container, art::CustomPointer());
    SetTabIndex(container, tabIndex);
    return container;
}

CommandButton* Command(Container* parent, const std::string& caption, int left, int top, int width,
                       platform::COLORREF face, bool customPointer, int tabIndex) {
    auto* button = new CommandButton(parent, caption);
    Place(button, left, top, width, 375);
    SetBackColor(button, face);
    SetMousePointer(button, customPointer ? art::CustomPointer() : StandardPointer());
    SetTabIndex(button, tabIndex);
    return button;
}

CheckBox* Check(Container* parent, const std::string& caption, int top, int tabIndex) {
    auto* box = new CheckBox(parent, caption);
    Place(box, 3240, top, 3495, 375);
    SetBackColor(box, LightGreen);
    SetMousePointer(box, StandardPointer());
    SetTabIndex(box, tabIndex);
    return box;
}

} // namespace

Form1::Form1() : Form(WindowDesign()) {
    setIcon(art::WindowIcon());
    setMousePointer(art::CustomPointer());
    createControls();
    ApplyTabOrder(*this);
    // What a screen reader calls the logo, the list, the preview and the groups.
    SetPictureName(this, "Tavro logo");
    SetTitle(Label1, File1);
    SetTitle(Label2, Image1);
    SetTitle(Label3, Frame1);
    SetTitle(Label4, Frame2);
    File1->Click = [this] { File1_Click(); };
    Command1->Click = [this] { Command1_Click(); };
    Command2->Click = [this] { Command2_Click(); };
    Command3->Click = [this] { Command3_Click(); };
    Command4->Click = [this] { Command4_Click(); };
}

Form1::~Form1() = default;

Form1& Form1::Instance() {
    if (!OneForm::Existing()) {
        OneForm::Adopt(new Form1()).Load();
    }
    return *OneForm::Existing();
}

void Form1::ReadDriversAhead(const std::string& programDirectory) {
    FileListBox::ReadAhead(DriverDirectory(programDirectory), DriverPattern);
}

Form1* Form1::Existing() {
    return OneForm::Existing();
}

void Form1::createControls() {
    Container* client = Client();

    // Lightweight controls first: the preview panel and the picture lie under
    // every other control.
    Label5 = new Label(client);
    Place(Label5, 3000, 1080, 3615, 2175);
    SetBackColor(Label5, LightGreen);
    SetMousePointer(Label5, art::CustomPointer());
    SetTabIndex(Label5, 28);

    Image1 = new Image(client);
    Place(Image1, 2880, 1080, 3495, 2535);
    SetMousePointer(Image1, art::CustomPointer());

    Label1 = TitleLabel(client, "Drivers Found", 360, 840, 2415, 255, White, 1);
    Label2 = TitleLabel(client, "Preview", 3360, 840, 2415, 375, White, 3);
    Label3 = TitleLabel(client, "Resolution", 6840, 840, 2775, 375, White, 4);
    Label4 =
        TitleLabel(client, "Frameskip", 9360, 840, 1935, 255, GetSysColor(COLOR_HIGHLIGHTTEXT), 6);

    File1 = new FileListBox(client);
    Place(File1, 360, 1080, 2415, 2820);
    File1->setPattern(DriverPattern);
    SetBackColor(File1, LightYellow);
    SetMousePointer(File1, art::CustomPointer());
    SetTabIndex(File1, 0);

    Frame1 = BuildFrame(client, "Frame1", 6840, 2175, 3975, LightYellow, 2);
    Option1 = Option(Frame1, "256x256 Linear", 120, 2775, 375, LightYellow, true, 7);
    Option2 = Option(Frame1, "320x200 Linear", 840, 2775, 375, LightYellow, true, 8);
    Option3 = Option(Frame1, "400x256 Mode X", 1560, 2775, 375, LightYellow, true, 9);
    Option4 = Option(Frame1, "640x400 Banked", 2280, 2775, 375, LightYellow, true, 10);
    Option15 = Option(Frame1, "400x300 Vesa 2", 2880, 2175, 435, LightYellow, false, 29);
    Option16 = Option(Frame1, "800x600 Vesa 2 ", 3360, 2175, 615, LightYellow, false, 30);

    Frame2 = BuildFrame(client, "Frame2", 9360, 2055, 3855, LightGreen, 5);
    Option5 = Option(Frame2, "0   (zero)", 120, 2055, 375, LightGreen, true, 11);
    Option6 = Option(Frame2, "1   (one)", 480, 2055, 375, LightGreen, false, 12);
    Option7 = Option(Frame2, "2   (two)", 840, 2055, 375, LightGreen, false, 13);
    Option8 = Option(Frame2, "3   (three)", 1200, 2055, 375, LightGreen, false, 14);
    Option9 = Option(Frame2, "4   (four)", 1560, 2055, 375, LightGreen, false, 15);
    Option10 = Option(Frame2, "5   (five)", 1920, 2055, 375, LightGreen, false, 16);
    Option11 = Option(Frame2, "6   (six)", 2280, 2055, 375, LightGreen, false, 17);
    Option12 = Option(Frame2, "7   (seven)", 2640, 2055, 375, LightGreen, false, 18);
    Option13 = Option(Frame2, "8   (eight)", 3000, 2055, 375, LightGreen, false, 19);
    Option14 = Option(Frame2, "9   (nine)", 3360, 2055, 375, LightGreen, false, 20);

    Command1 = Command(client, "Run This Game", 360, 4080, 2415, Cyan, true, 21);
    Command2 = Command(client, "Write Game List", 360, 4680, 2415, Cyan, true, 22);
    Command3 = Command(client, "Edit This Driver", 360, 5280, 2415, Cyan, false, 23);
    Command4 = Command(client, "About", 10200, 6240, 1215, Blue, false, 27);

    Check5 = Check(client, "Profile Mode", 4440, 32);
    Check4 = Check(client, "Sound Enabled", 4800, 31);
    Check1 = Check(client, "Synchronise the vbl (limit the fps to 60)", 5160, 24);
    Check2 = Check(client, "Debug Mode", 5520, 25);
    Check3 = Check(client, "Do NOT Check ROM's", 5880, 26);
}

void Form1::Form_Load() {
    SubclassWindow(hWnd());

    const std::string directory = DriverDirectory(App::Path());
    std::string error;
    if (!File1->setPath(directory, &error)) {
        // Without drivers the launcher still opens, and says what it looked for.
        const std::string drv = platform::ShownName(directory);
        MsgBox("The driver directory could not be read:\n" + drv + "\n(" + error +
                   ")\n\nNo drivers are listed. Tavro expects a \"drv\" directory beside it.",
               MB_ICONEXCLAMATION, "Tavro", this);
    }

    RefreshDriverPaths();

    LoadSettings();
    ApplySavedSettings(*this);
    setPicture(art::Background());
}

void Form1::Form_QueryUnload(bool& cancel) {
    if (askedOnClose_) {
        return;
    }
    // Nothing changed in the driver editor is lost without a question, and a
    // save that failed keeps the program, and the text, alive.
    if (!edit::AskBeforeProgramEnds()) {
        cancel = true;
        return;
    }
    askedOnClose_ = true;
}

void Form1::Form_Unload() {
    if (!askedOnClose_) {
        edit::AskBeforeProgramEnds();
    }
    UnsubclassWindow(hWnd());
    End();
}

void Form1::File1_Click() {
    DriverFile = File1->FileName();
    PreviewPath = App::Path() + "/preview/" + DriverFile + ".jpg";
    showPreview();
}

// Shows the selected driver's preview, or the fallback picture when there is
// none. The probe only looks at the file: a read-only or missing preview
// directory must not stop the launcher.
void Form1::showPreview() {
    struct stat info {};
    const bool exists = ::stat(PreviewPath.c_str(), &info) == 0;
    if (exists && info.st_size > 0) {
        const Picture picture = LoadPicture(PreviewPath);
        if (!picture.IsEmpty()) {
            Image1->setPicture(picture);
            Image1->setAccessibleDescription(platform::ShownName(DriverFile));
            return;
        }
    } else if (exists && S_ISREG(info.st_mode)) {
        // An empty preview counts as none, and is removed.
        ::unlink(PreviewPath.c_str());
    }
    PreviewPath = App::Path() + "/preview/404.jpg";
    Image1->setPicture(LoadPicture(PreviewPath));
    Image1->setAccessibleDescription("No preview");
}

void Form1::Command1_Click() {
    const platform::DWORD storeFailure = BuildCommandLine();
    AppendDriverToCommandLine();
    // Told after the start, so the game is not held up, and once per reason
    // while the program runs. When the emulator did not start, its own
    // message is enough; a later press that starts it tells then.
    if (StartEmulator(CommandLine) && storeFailure != ERROR_SUCCESS &&
        storeFailuresShown_.insert(storeFailure).second)
        ShowStoreFailure(storeFailure);
}

void Form1::Command2_Click() {
    // A fixed command: nothing is built, stored or kept in CommandLine.
    StartEmulator("morvel.exe -gamelist");
}

void Form1::Command3_Click() {
    edit::Open();
}

void Form1::Command4_Click() {
    Form2::Open();
}

} // namespace tavro

#include "launcher/Declarations.h"

#include "launcher/Form1.h"
#include "platform/forms/App.h"

namespace tavro {

void RefreshDriverPaths() {
    using platform::forms::App;
    DriverFile = Form1::Instance().File1->FileName();
    DriverPath = App::Path() + "/drv/" + DriverFile;
    PreviewPath = App::Path() + "/preview/" + DriverFile + ".jpg";
}

} // namespace tavro

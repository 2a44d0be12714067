#include "launcher/Declarations.h"

#include "launcher/Form1.h"
#include "platform/forms/App.h"

namespace tavro {

void RefreshDriverPaths() {
    using platform::forms::App;
    DriverFile = Form1::Instance().File1->FileName();
    const std::string directory = App::Path();
    DriverPath = directory + "/drv/" + DriverFile;
    PreviewPath = directory + "/preview/" + DriverFile + ".jpg";
}

} // namespace tavro

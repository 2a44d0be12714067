// The form of Form.h over its Qt window (FormWindow.h).
#include "platform/forms/Form.h"

#include "platform/forms/Testing.h"
#include "platform/forms/Twips.h"
#include "platform/forms/qt/Design.h"
#include "platform/forms/qt/FormWindow.h"
#include "platform/forms/qt/Native.h"
#include "platform/forms/qt/Picture.h"
#include "platform/window_host.h"

#include <QCoreApplication>

namespace platform::forms {

namespace {

bool endRequested = false;

} // namespace

native::Widget* Form::Window::ContainerWidget() const {
    return qt::ToNative(widget->Client());
}

Form::Form(const Design& design) : window_(std::make_unique<Window>(*this)) {
    window_->widget = new qt::FormWindow(*this, design);
    hwnd_ = window_->widget->hWnd();
}

Form::~Form() {
    // The window first, and every control's widget with it; then the controls.
    if (qt::FormWindow* widget = window_->widget) {
        window_->widget = nullptr;
        widget->release();
        delete widget;
    }
    for (const std::function<void()>& action : whenDestroyed_) {
        action();
    }
    controls_.clear();
}

native::Widget* Form::Native() const {
    return qt::ToNative(window_->widget);
}

Container* Form::Client() const {
    return window_.get();
}

void Form::Show() {
    Load();
    window_->widget->showForm();
}

void Form::Hide() {
    window_->widget->hide();
}

bool Form::Visible() const {
    return window_->widget->isVisible();
}

void Form::Unload() {
    if (unloading_) {
        return;
    }
    unloading_ = true;
    Form_Unload();
    // Destroyed from the event loop: the deferred deletion of the window
    // destroys the form, which destroys the window.
    window_->widget->hide();
    window_->widget->deleteLater();
}

bool Form::IsMinimized() const {
    return window_->widget->isMinimized();
}

void Form::Restore() {
    qt::FormWindow* widget = window_->widget;
    widget->setWindowState(widget->windowState() & ~Qt::WindowMinimized);
}

std::string Form::Caption() const {
    return platform::WindowTextRecord(hwnd_);
}

void Form::setCaption(const std::string& caption) {
    platform::SetWindowTextA(hwnd_, caption.c_str());
}

int Form::ScaleWidth() const {
    return PixelsToTwips(window_->widget->Client()->width());
}

int Form::ScaleHeight() const {
    return PixelsToTwips(window_->widget->Client()->height());
}

void Form::setIcon(const Picture& icon) {
    window_->widget->setIcon(qt::ImageOf(icon));
}

void Form::setPicture(const Picture& picture) {
    qt::ClientArea* client = window_->widget->Client();
    client->picture = qt::PixmapOf(picture);
    client->update();
}

void Form::setBackColor(COLORREF colour) {
    qt::ClientArea* client = window_->widget->Client();
    client->backColor = qt::ToQColor(colour);
    client->update();
}

void Form::setMousePointer(const MousePointer& pointer) {
    window_->widget->Client()->setCursor(qt::CursorOf(pointer));
}

void Form::addMenuItem(const std::string& caption, std::function<void()> action) {
    window_->widget->addMenuItem(QString::fromStdString(caption), std::move(action));
}

void End() {
    endRequested = true;
    QCoreApplication::exit(0);
}

bool EndRequested() {
    return endRequested;
}

void ResetEndForTesting() {
    endRequested = false;
}

} // namespace platform::forms

#include "platform/forms/Form.h"

#include "platform/forms/Twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace platform::forms {

namespace {

bool endRequested = false;

// The client area: paints the form's background colour and picture.
class ClientArea : public QWidget {
public:
    explicit ClientArea(QWidget* parent) : QWidget(parent) {}
    QPixmap picture;
    QColor backColor{192, 192, 192};

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), backColor);
        if (!picture.isNull()) {
            painter.drawPixmap(0, 0, picture);
        }
    }
};

platform::LONG_PTR styleFor(const Form::Design& d) {
    platform::LONG_PTR style = platform::WS_CAPTION | platform::WS_SYSMENU;
    if (d.border == BorderStyle::Sizable) {
        style |= platform::WS_THICKFRAME;
    } else {
        style |= platform::DS_MODALFRAME;
    }
    if (d.minButton) {
        style |= platform::WS_MINIMIZEBOX;
    }
    if (d.maxButton) {
        style |= platform::WS_MAXIMIZEBOX;
    }
    return style;
}

} // namespace

Form::Form(const Design& design) : QWidget(nullptr), design_(design) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* client = new ClientArea(this);
    client_ = client;
    const int w = TwipsToPixels(design.clientWidth);
    const int h = TwipsToPixels(design.clientHeight);
    client_->setGeometry(0, 0, w, h);
    resize(w, h);
    if (design.border == BorderStyle::FixedSingle) {
        setFixedSize(w, h);
    }
    Qt::WindowFlags flags =
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (design.minButton) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (design.maxButton) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    setWindowFlags(flags);

    platform::WindowCreate create;
    create.text = design.caption.toStdString();
    create.style = styleFor(design);
    create.rect = platform::RECT{0, 0, w, h};
    create.proc = &FormWndProc;
    create.host = this;
    create.hasMenu = design.hasMenu;
    hwnd_ = platform::CreateWindowRecord(create);
    setWindowTitle(design.caption);
}

Form::~Form() {
    platform::DestroyWindow(hwnd_);
    if (smallIcon_) {
        platform::DestroyIcon(smallIcon_);
    }
}

void Form::Load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    Form_Load();
}

void Form::Show() {
    Load();
    if (!placed_) {
        placeFirstTime();
    }
    show();
    raise();
    activateWindow();
}

void Form::Hide() {
    hide();
}

void Form::Unload() {
    if (unloading_) {
        return;
    }
    unloading_ = true;
    Form_Unload();
    hide();
    deleteLater();
}

QString Form::Caption() const {
    return QString::fromStdString(platform::WindowTextRecord(hwnd_));
}

void Form::setCaption(const QString& caption) {
    const QByteArray text = caption.toUtf8();
    platform::SetWindowTextA(hwnd_, text.constData());
}

void Form::textChanged() {
    setWindowTitle(Caption());
}

int Form::ScaleWidth() const {
    return PixelsToTwips(client_->width());
}

int Form::ScaleHeight() const {
    return PixelsToTwips(client_->height());
}

void Form::setIcon(const QImage& icon) {
    setWindowIcon(QIcon(QPixmap::fromImage(icon)));
    if (smallIcon_) {
        platform::DestroyIcon(smallIcon_);
    }
    smallIcon_ = platform::CreateIconFromImage(icon);
    platform::SetWindowSmallIcon(hwnd_, smallIcon_);
}

void Form::setPicture(const QPixmap& picture) {
    static_cast<ClientArea*>(client_)->picture = picture;
    client_->update();
}

void Form::setBackColor(const QColor& colour) {
    static_cast<ClientArea*>(client_)->backColor = colour;
    client_->update();
}

void Form::setMousePointer(const QCursor& pointer) {
    client_->setCursor(pointer);
}

void Form::surfaceChanged() {
    update();
}

void Form::closeRequested() {
    close();
}

void Form::closeEvent(QCloseEvent* event) {
    event->accept();
    Unload();
}

void Form::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    client_->setGeometry(0, 0, width(), height());
    syncWindowRect();
    Form_Resize();
}

void Form::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    syncWindowRect();
}

void Form::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    syncWindowRect();
}

void Form::syncWindowRect() {
    const QRect g = geometry();
    platform::SetWindowRectRecord(hwnd_,
                                  platform::RECT{g.left(), g.top(), g.right() + 1, g.bottom() + 1});
}

void Form::placeFirstTime() {
    placed_ = true;
    if (design_.position != StartUpPosition::CenterScreen) {
        return;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

platform::LRESULT FormWndProc(platform::HWND hwnd, platform::UINT msg, platform::WPARAM wParam,
                              platform::LPARAM lParam) {
    return platform::DefWindowProcA(hwnd, msg, wParam, lParam);
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

#include "platform/forms/Form.h"

#include "platform/forms/Controls.h"
#include "platform/forms/Design.h"
#include "platform/forms/Twips.h"
#include "platform/frame.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

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

platform::WPARAM sizeKind(const QWidget* w, bool zoomed) {
    if (w->isMinimized()) {
        return platform::SIZE_MINIMIZED;
    }
    return zoomed ? platform::SIZE_MAXIMIZED : platform::SIZE_RESTORED;
}

} // namespace

Form::Form(const Design& design)
    : QWidget(design.owner, (design.owner ? Qt::Dialog : Qt::Window) | Qt::FramelessWindowHint),
      design_(design) {
    setFont(DefaultDialogFont());
    setMouseTracking(true);
    client_ = new ClientArea(this);

    const platform::LONG_PTR style = styleFor(design);
    int width = 0;
    int height = 0;
    frame::WindowSizeForClient(style, design.hasMenu, TwipsToPixels(design.clientWidth),
                               TwipsToPixels(design.clientHeight), &width, &height);
    platform::WindowCreate create;
    create.text = design.caption.toStdString();
    create.style = style;
    create.rect = platform::RECT{0, 0, width, height};
    create.proc = &FormWndProc;
    create.host = this;
    create.hasMenu = design.hasMenu;
    if (const auto* owner = dynamic_cast<const Form*>(design.owner)) {
        create.parent = owner->hWnd();
    }
    hwnd_ = platform::CreateWindowRecord(create);
    setWindowTitle(design.caption);

    resize(width, height);
    if (design.border == BorderStyle::FixedSingle) {
        setFixedSize(width, height);
    } else {
        int minWidth = 0;
        int minHeight = 0;
        frame::WindowSizeForClient(style, design.hasMenu, 0, 0, &minWidth, &minHeight);
        setMinimumSize(minWidth + 4 * frame::CaptionButtonWidth, minHeight);
    }
    layoutClient();
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

void Form::addMenuItem(const QString& caption, std::function<void()> action) {
    menu_.push_back(MenuItem{caption, std::move(action)});
    std::vector<std::string> items;
    for (const MenuItem& item : menu_) {
        items.push_back(item.caption.toStdString());
    }
    platform::SetMenuItemsRecord(hwnd_, std::move(items));
    const int index = static_cast<int>(menu_.size()) - 1;
    const int amp = caption.indexOf('&');
    if (amp >= 0 && amp + 1 < caption.size()) {
        auto* shortcut =
            new QShortcut(QKeySequence(QStringLiteral("Alt+") + caption.at(amp + 1)), this);
        connect(shortcut, &QShortcut::activated, this, [this, index] { menuCommand(index); });
    }
}

void Form::surfaceChanged() {
    update();
}

void Form::closeRequested() {
    close();
}

void Form::startMove() {
    if (QWindow* window = windowHandle(); window && window->startSystemMove()) {
        return;
    }
    // No window manager to move us (a bare X server): follow the mouse ourselves.
    drag_ = Drag::Move;
    dragStart_ = pressPoint_.value_or(QCursor::pos());
    dragGeometry_ = geometry();
}

void Form::startSize(int hitCode) {
    Qt::Edges edges;
    switch (hitCode) {
    case platform::HTLEFT:
        edges = Qt::LeftEdge;
        break;
    case platform::HTRIGHT:
        edges = Qt::RightEdge;
        break;
    case platform::HTTOP:
        edges = Qt::TopEdge;
        break;
    case platform::HTBOTTOM:
        edges = Qt::BottomEdge;
        break;
    case platform::HTTOPLEFT:
        edges = Qt::TopEdge | Qt::LeftEdge;
        break;
    case platform::HTTOPRIGHT:
        edges = Qt::TopEdge | Qt::RightEdge;
        break;
    case platform::HTBOTTOMLEFT:
        edges = Qt::BottomEdge | Qt::LeftEdge;
        break;
    case platform::HTBOTTOMRIGHT:
        edges = Qt::BottomEdge | Qt::RightEdge;
        break;
    default:
        return;
    }
    if (QWindow* window = windowHandle(); window && window->startSystemResize(edges)) {
        return;
    }
    drag_ = Drag::Size;
    dragEdge_ = hitCode;
    dragStart_ = pressPoint_.value_or(QCursor::pos());
    dragGeometry_ = geometry();
}

void Form::showState(int showCommand) {
    switch (showCommand) {
    case platform::SW_SHOWMINIMIZED:
        showMinimized();
        break;
    case platform::SW_SHOWMAXIMIZED:
        if (!platform::IsZoomed(hwnd_)) {
            // Maximised by hand, so that it works with or without a window manager.
            normalGeometry_ = geometry();
            platform::SetWindowStateRecord(hwnd_, true, false);
            if (const QScreen* s = screen()) {
                setGeometry(s->availableGeometry());
            }
        }
        break;
    default:
        if (isMinimized()) {
            showNormal();
        }
        if (platform::IsZoomed(hwnd_)) {
            platform::SetWindowStateRecord(hwnd_, false, false);
            setGeometry(normalGeometry_);
        }
        break;
    }
}

void Form::menuCommand(int item) {
    if (item >= 0 && item < static_cast<int>(menu_.size()) && menu_[item].action) {
        menu_[item].action();
    }
}

bool Form::focusNextPrevChild(bool next) {
    QWidget* current = focusWidget();
    if (!current) {
        return QWidget::focusNextPrevChild(next);
    }
    const auto* currentOption = qobject_cast<const OptionButton*>(current);
    for (QWidget* w = current;;) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == current) {
            return QWidget::focusNextPrevChild(next);
        }
        if (w->window() != this || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() ||
            !w->isEnabled() || !w->isVisibleTo(this)) {
            continue;
        }
        if (const auto* option = qobject_cast<const OptionButton*>(w)) {
            // Tab leaves the group it is in, and enters another at one option only.
            if (currentOption && option->parentWidget() == currentOption->parentWidget()) {
                continue;
            }
            if (!option->IsTabStop()) {
                continue;
            }
        }
        w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
}

void Form::closeEvent(QCloseEvent* event) {
    event->accept();
    Unload();
}

void Form::layoutClient() {
    const frame::Layout l = frame::ComputeLayout(
        width(), height(), platform::GetWindowLongA(hwnd_, platform::GWL_STYLE),
        platform::HasMenuRecord(hwnd_), false);
    client_->setGeometry(l.client.left, l.client.top, l.client.right - l.client.left,
                         l.client.bottom - l.client.top);
}

void Form::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    syncWindowRect();
    layoutClient();
    platform::SendMessageA(hwnd_, platform::WM_SIZE, sizeKind(this, platform::IsZoomed(hwnd_)),
                           platform::MAKELPARAM(client_->width(), client_->height()));
    platform::SendMessageA(hwnd_, platform::WM_NCPAINT, 1, 0);
}

void Form::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    syncWindowRect();
}

void Form::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    syncWindowRect();
    platform::SendMessageA(hwnd_, platform::WM_NCPAINT, 1, 0);
}

void Form::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow()) {
            platform::SetActiveWindowRecord(hwnd_);
            platform::SendMessageA(hwnd_, platform::WM_NCACTIVATE, 1, 0);
        } else {
            if (platform::GetActiveWindow() == hwnd_) {
                platform::SetActiveWindowRecord(nullptr);
            }
            platform::SendMessageA(hwnd_, platform::WM_NCACTIVATE, 0, 0);
        }
    } else if (event->type() == QEvent::WindowStateChange) {
        platform::SetWindowStateRecord(hwnd_, platform::IsZoomed(hwnd_), isMinimized());
    }
}

void Form::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (const QImage* surface = platform::WindowSurface(hwnd_)) {
        painter.drawImage(0, 0, *surface);
    }
}

platform::LPARAM Form::screenPoint(const QMouseEvent* event) const {
    const QPoint p = event->globalPosition().toPoint();
    return platform::MAKELPARAM(p.x(), p.y());
}

void Form::mousePressEvent(QMouseEvent* event) {
    const platform::LPARAM point = screenPoint(event);
    if (!isActiveWindow()) {
        platform::SendMessageA(hwnd_, platform::WM_MOUSEACTIVATE, 0,
                               platform::MAKELPARAM(platform::HTCAPTION, platform::WM_LBUTTONDOWN));
        activateWindow();
    }
    const auto hit = static_cast<platform::WPARAM>(
        platform::SendMessageA(hwnd_, platform::WM_NCHITTEST, 0, point));
    if (event->button() == Qt::LeftButton) {
        pressPoint_ = event->globalPosition().toPoint();
        platform::SendMessageA(hwnd_, platform::WM_NCLBUTTONDOWN, hit, point);
        pressPoint_.reset();
    } else if (event->button() == Qt::RightButton) {
        platform::SendMessageA(hwnd_, platform::WM_NCRBUTTONDOWN, hit, point);
    }
}

void Form::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const platform::LPARAM point = screenPoint(event);
    const auto hit = static_cast<platform::WPARAM>(
        platform::SendMessageA(hwnd_, platform::WM_NCHITTEST, 0, point));
    platform::SendMessageA(hwnd_, platform::WM_NCLBUTTONDBLCLK, hit, point);
}

void Form::mouseMoveEvent(QMouseEvent* event) {
    if (drag_ != Drag::None) {
        dragTo(event->globalPosition().toPoint());
        return;
    }
    if (event->buttons() != Qt::NoButton) {
        return;
    }
    const platform::LPARAM point = screenPoint(event);
    const platform::LRESULT hit = platform::SendMessageA(hwnd_, platform::WM_NCHITTEST, 0, point);
    platform::SendMessageA(hwnd_, platform::WM_SETCURSOR, reinterpret_cast<platform::WPARAM>(hwnd_),
                           platform::MAKELPARAM(static_cast<int>(hit), platform::WM_MOUSEMOVE));
    setCursor(static_cast<Qt::CursorShape>(platform::CursorShape(platform::GetCursor())));
}

void Form::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_ != Drag::None) {
        dragTo(event->globalPosition().toPoint());
        drag_ = Drag::None;
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const platform::LPARAM point = screenPoint(event);
    const auto hit = static_cast<platform::WPARAM>(
        platform::SendMessageA(hwnd_, platform::WM_NCHITTEST, 0, point));
    platform::SendMessageA(hwnd_, platform::WM_NCLBUTTONUP, hit, point);
}

void Form::dragTo(const QPoint& globalPos) {
    const QPoint delta = globalPos - dragStart_;
    if (drag_ == Drag::Move) {
        move(dragGeometry_.topLeft() + delta);
        return;
    }
    QRect g = dragGeometry_;
    const int e = dragEdge_;
    if (e == platform::HTLEFT || e == platform::HTTOPLEFT || e == platform::HTBOTTOMLEFT) {
        g.setLeft(std::min(g.left() + delta.x(), g.right() - minimumWidth() + 1));
    }
    if (e == platform::HTRIGHT || e == platform::HTTOPRIGHT || e == platform::HTBOTTOMRIGHT) {
        g.setRight(g.right() + delta.x());
    }
    if (e == platform::HTTOP || e == platform::HTTOPLEFT || e == platform::HTTOPRIGHT) {
        g.setTop(std::min(g.top() + delta.y(), g.bottom() - minimumHeight() + 1));
    }
    if (e == platform::HTBOTTOM || e == platform::HTBOTTOMLEFT || e == platform::HTBOTTOMRIGHT) {
        g.setBottom(g.bottom() + delta.y());
    }
    g.setWidth(std::max(g.width(), minimumWidth()));
    g.setHeight(std::max(g.height(), minimumHeight()));
    setGeometry(g);
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
    if (msg == platform::WM_SIZE) {
        if (auto* form = dynamic_cast<Form*>(platform::WindowHostOf(hwnd))) {
            form->raiseResize();
        }
    }
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

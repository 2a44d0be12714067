#include "platform/forms/qt/FormWindow.h"

#include "platform/forms/Twips.h"
#include "platform/forms/qt/AccessibleForm.h"
#include "platform/forms/qt/ControlWidgets.h"
#include "platform/forms/qt/Design.h"
#include "platform/forms/qt/Native.h"
#include "platform/forms/qt/X11MoveResize.h"
#include "platform/frame.h"
#include "platform/window_host.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <algorithm>
#include <cmath>
#include <type_traits>

namespace platform::forms::qt {

namespace {

// Copies the parts of a picture under `region` (in the picture's own logical
// coordinates, which are the widget's) rectangle by rectangle, in bands of a
// few rows. Inside an irregular paint region Qt blends span by span and hands
// a blend of many spans to a thread pool it starts for the purpose; a band
// within one rectangle is a few spans, which it blends at once.
template <typename Picture>
void DrawInBands(QPainter& painter, const QRegion& region, const Picture& picture) {
    constexpr int BandRows = 32;
    const qreal ratio = picture.devicePixelRatio();
    for (const QRect& part : region) {
        for (int top = part.top(); top <= part.bottom(); top += BandRows) {
            const QRect band(part.left(), top, part.width(),
                             std::min(BandRows, part.bottom() + 1 - top));
            const QRect source(qRound(band.x() * ratio), qRound(band.y() * ratio),
                               qRound(band.width() * ratio), qRound(band.height() * ratio));
            if constexpr (std::is_same_v<Picture, QPixmap>) {
                painter.drawPixmap(band.topLeft(), picture, source);
            } else {
                painter.drawImage(band.topLeft(), picture, source);
            }
        }
    }
}

platform::LONG_PTR StyleFor(const Form::Design& d) {
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

// Qt places a window at its logical rectangle times the pixel ratio, each
// edge and length rounded: at a fractional scale the available area in
// logical pixels can reach a device pixel past the screen. Maximised, a
// window takes the largest logical rectangle whose device pixels stay on the
// work area (known where there is one screen on X11).
QRect MaximizedGeometry(const QScreen& screen) {
    const QRect area = screen.availableGeometry();
    const std::optional<QRect> device = X11WorkArea();
    if (!device || QGuiApplication::screens().size() != 1) {
        return area;
    }
    const qreal ratio = screen.devicePixelRatio();
    const auto start = [ratio](int native) { return static_cast<int>(std::ceil(native / ratio)); };
    const auto length = [ratio](int from, int nativeEnd) {
        int n = static_cast<int>(nativeEnd / ratio) + 1;
        while (n > 0 && qRound(from * ratio) + qRound(n * ratio) > nativeEnd) {
            --n;
        }
        return n;
    };
    const int left = start(device->left());
    const int top = start(device->top());
    return QRect(left, top, length(left, device->right() + 1), length(top, device->bottom() + 1));
}

platform::WPARAM SizeKind(const QWidget* w, bool zoomed) {
    if (w->isMinimized()) {
        return platform::SIZE_MINIMIZED;
    }
    return zoomed ? platform::SIZE_MAXIMIZED : platform::SIZE_RESTORED;
}

// The form as its window's host: passes the window layer's requests on.
class FormHost final : public platform::WindowHost {
public:
    explicit FormHost(FormWindow& form) : form_(form) {}
    FormWindow& window() const { return form_; }

    QWidget* hostWidget() override { return &form_; }
    void surfaceChanged() override { form_.surfaceChanged(); }
    void closeRequested() override { form_.closeRequested(); }
    void textChanged() override { form_.textChanged(); }
    void startMove() override { form_.startMove(); }
    void startSize(int hitCode) override { form_.startSize(hitCode); }
    void showState(int showCommand) override { form_.showState(showCommand); }
    void menuCommand(int item) override { form_.menuCommand(item); }
    bool activate() override { return form_.activate(); }

private:
    FormWindow& form_;
};

} // namespace

void ClientArea::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // The colour shows only where the picture does not reach.
    const QRect covered = QRect(QPoint(0, 0), picture.deviceIndependentSize().toSize());
    for (const QRect& part : event->region() - covered) {
        painter.fillRect(part, backColor);
    }
    if (!picture.isNull()) {
        DrawInBands(painter, event->region() & covered, picture);
    }
}

FormWindow::FormWindow(Form& form, const Form::Design& design)
    : QWidget(design.owner ? ToQt(design.owner->Native()) : nullptr,
              (design.owner ? Qt::Dialog : Qt::Window) | Qt::FramelessWindowHint),
      form_(&form), position_(design.position) {
    InstallAccessibility();
    setFont(DefaultDialogQFont());
    setMouseTracking(true);
    // The frame is painted from the window surface and the client area
    // paints itself: nothing is left for Qt to clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    client_ = new ClientArea(this);

    const platform::LONG_PTR style = StyleFor(design);
    int width = 0;
    int height = 0;
    frame::WindowSizeForClient(style, design.hasMenu, TwipsToPixels(design.clientWidth),
                               TwipsToPixels(design.clientHeight), &width, &height);
    platform::WindowCreate create;
    create.text = design.caption;
    create.style = style;
    create.rect = platform::RECT{0, 0, width, height};
    create.proc = &FormWndProc;
    host_ = std::make_unique<FormHost>(*this);
    create.host = host_.get();
    create.hasMenu = design.hasMenu;
    if (design.owner) {
        create.parent = design.owner->hWnd();
    }
    hwnd_ = platform::CreateWindowRecord(create);
    setWindowTitle(QString::fromStdString(design.caption));

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

FormWindow::~FormWindow() {
    platform::DestroyWindow(hwnd_);
    if (smallIcon_) {
        platform::DestroyIcon(smallIcon_);
    }
    if (form_) {
        // The controls' widgets go before the controls, as when the form is
        // deleted: no widget is left pointing at a control that is gone.
        delete client_;
        client_ = nullptr;
        FormEvents::WindowDestroyed(*form_);
    }
}

bool FormWindow::event(QEvent* event) {
    if (event->type() == QEvent::DeferredDelete && form_) {
        delete form_; // and with it this window
        return true;
    }
    return QWidget::event(event);
}

void FormWindow::showForm() {
    if (!placed_) {
        placeFirstTime();
    }
    show();
    raise();
    activateWindow();
}

QString FormWindow::Caption() const {
    return QString::fromStdString(platform::WindowTextRecord(hwnd_));
}

void FormWindow::textChanged() {
    setWindowTitle(Caption());
}

void FormWindow::setIcon(const QImage& icon) {
    setWindowIcon(QIcon(QPixmap::fromImage(icon)));
    if (smallIcon_) {
        platform::DestroyIcon(smallIcon_);
    }
    smallIcon_ = platform::CreateIconFromImage(icon);
    platform::SetWindowSmallIcon(hwnd_, smallIcon_);
}

void FormWindow::addMenuItem(const QString& caption, std::function<void()> action) {
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

void FormWindow::surfaceChanged() {
    update();
}

void FormWindow::closeRequested() {
    close();
}

void FormWindow::showState(int showCommand) {
    switch (showCommand) {
    case platform::SW_SHOWMINIMIZED:
        showMinimized();
        break;
    case platform::SW_SHOWMAXIMIZED:
        if (!platform::IsZoomed(hwnd_)) {
            normalGeometry_ = geometry();
            platform::SetWindowStateRecord(hwnd_, true, false);
            if (OnWayland()) {
                showMaximized(); // only the compositor places windows
            } else if (const QScreen* s = screen()) {
                // Maximised by hand, so that it works with or without a window manager.
                setGeometry(MaximizedGeometry(*s));
            }
        }
        break;
    default:
        if (isMinimized()) {
            showNormal();
        }
        if (platform::IsZoomed(hwnd_)) {
            platform::SetWindowStateRecord(hwnd_, false, false);
            if (OnWayland()) {
                showNormal();
            } else {
                setGeometry(normalGeometry_);
            }
        }
        break;
    }
}

void FormWindow::menuCommand(int item) {
    if (item >= 0 && item < static_cast<int>(menu_.size()) && menu_[item].action) {
        menu_[item].action();
    }
}

bool FormWindow::focusNextPrevChild(bool next) {
    QWidget* current = focusWidget();
    if (!current) {
        return QWidget::focusNextPrevChild(next);
    }
    const auto* currentOption = qobject_cast<const OptionButtonWidget*>(current);
    for (QWidget* w = current;;) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == current) {
            return QWidget::focusNextPrevChild(next);
        }
        if (w->window() != this || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() ||
            !w->isEnabled() || !w->isVisibleTo(this)) {
            continue;
        }
        if (const auto* option = qobject_cast<const OptionButtonWidget*>(w)) {
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

void FormWindow::closeEvent(QCloseEvent* event) {
    if (!form_) {
        event->accept();
        return;
    }
    bool cancel = false;
    FormEvents::QueryUnload(*form_, cancel);
    if (cancel) {
        event->ignore();
        return;
    }
    event->accept();
    form_->Unload();
}

void FormWindow::layoutClient() {
    const frame::Layout l = frame::ComputeLayout(
        width(), height(), platform::GetWindowLongPtrA(hwnd_, platform::GWL_STYLE),
        platform::HasMenuRecord(hwnd_), false);
    client_->setGeometry(l.client.left, l.client.top, l.client.right - l.client.left,
                         l.client.bottom - l.client.top);
}

void FormWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    syncWindowRect();
    layoutClient();
    platform::SendMessageA(hwnd_, platform::WM_SIZE, SizeKind(this, platform::IsZoomed(hwnd_)),
                           platform::MAKELPARAM(client_->width(), client_->height()));
    // A hidden window's frame is painted when it shows.
    if (isVisible()) {
        platform::SendMessageA(hwnd_, platform::WM_NCPAINT, 1, 0);
    }
}

void FormWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    syncWindowRect();
}

void FormWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    platform::SetWindowVisibleRecord(hwnd_, true);
    syncWindowRect();
    platform::SendMessageA(hwnd_, platform::WM_NCPAINT, 1, 0);
}

void FormWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    platform::SetWindowVisibleRecord(hwnd_, false);
}

void FormWindow::setVisible(bool visible) {
    if (!visible && isVisible()) {
        // Hand the activation on while this window still holds it: once
        // hidden, nothing would (a bare X server has nobody to do it).
        platform::SetWindowVisibleRecord(hwnd_, false);
        platform::ActivateNextWindow(hwnd_);
    }
    QWidget::setVisible(visible);
}

bool FormWindow::activate() {
    raise();
    activateWindow();
    // Under Wayland the compositor alone decides which window has the focus;
    // our captions follow what it reports.
    return !OnWayland();
}

void FormWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow()) {
            // The window our layer made active last may never have been
            // active for Qt (activated at once as a message box closed, the
            // system still on its way there): its caption gives way all the same.
            const platform::HWND previous = platform::GetActiveWindow();
            platform::SetActiveWindowRecord(hwnd_);
            if (previous && previous != hwnd_) {
                platform::SendMessageA(previous, platform::WM_NCACTIVATE, 0, 0);
            }
            platform::SendMessageA(hwnd_, platform::WM_NCACTIVATE, 1, 0);
        } else {
            if (platform::GetActiveWindow() == hwnd_) {
                platform::SetActiveWindowRecord(nullptr);
            }
            platform::SendMessageA(hwnd_, platform::WM_NCACTIVATE, 0, 0);
        }
    } else if (event->type() == QEvent::WindowStateChange) {
        platform::SetWindowStateRecord(hwnd_, platform::IsZoomed(hwnd_), isMinimized());
        if (isMinimized()) {
            platform::ActivateNextWindow(hwnd_);
        }
    }
}

void FormWindow::paintEvent(QPaintEvent* event) {
    if (platform::WindowPixelRatioRecord(hwnd_) != devicePixelRatioF()) {
        // Moved to a screen of another pixel ratio: paint the frame afresh at it.
        syncWindowRect();
        platform::SendMessageA(hwnd_, platform::WM_NCPAINT, 1, 0);
    }
    const QImage* surface = platform::WindowSurface(hwnd_);
    if (!surface) {
        return;
    }
    // Only the frame comes from the surface; the client area covers the rest.
    QPainter painter(this);
    DrawInBands(painter, event->region() - client_->geometry(), *surface);
}

void FormWindow::syncWindowRect() {
    platform::SetWindowPixelRatioRecord(hwnd_, devicePixelRatioF());
    const QRect g = geometry();
    platform::SetWindowRectRecord(hwnd_,
                                  platform::RECT{g.left(), g.top(), g.right() + 1, g.bottom() + 1});
}

void FormWindow::placeFirstTime() {
    placed_ = true;
    if (position_ != StartUpPosition::CenterScreen) {
        return;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // Centred; a window larger than the screen keeps its top-left corner,
        // and with it the caption and its left end, on the screen.
        const QRect area = screen->availableGeometry();
        const QPoint centred = area.center() - QPoint(width() / 2, height() / 2);
        move(std::max(centred.x(), area.left()), std::max(centred.y(), area.top()));
    }
}

} // namespace platform::forms::qt

namespace platform::forms {

void FormEvents::WindowDestroyed(Form& form) {
    form.window_->widget = nullptr;
    delete &form;
}

platform::LRESULT FormWndProc(platform::HWND hwnd, platform::UINT msg, platform::WPARAM wParam,
                              platform::LPARAM lParam) {
    if (msg == platform::WM_SIZE) {
        if (auto* host = dynamic_cast<qt::FormHost*>(platform::WindowHostOf(hwnd))) {
            if (Form* form = host->window().form()) {
                FormEvents::Resize(*form);
            }
        }
    }
    return platform::DefWindowProcA(hwnd, msg, wParam, lParam);
}

} // namespace platform::forms

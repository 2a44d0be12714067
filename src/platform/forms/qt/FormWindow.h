// The Qt window behind a form: a frameless top-level widget that shows the
// frame the window layer paints on the window's surface, holds the client
// area, and turns Qt's window events into the window layer's messages and the
// form's events.
#pragma once

#include "platform/forms/Form.h"

#include <QColor>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform {
class WindowHost;
}

namespace platform::forms {

// Raises a form's own steps for the runtime, which alone may.
class FormEvents {
public:
    static void Resize(Form& form) { form.Form_Resize(); }
    static void QueryUnload(Form& form, bool& cancel) { form.Form_QueryUnload(cancel); }
    // The form's window is being destroyed by Qt (its owner window went, or
    // its deferred deletion came): the form goes with it.
    static void WindowDestroyed(Form& form);
};

namespace qt {

// The client area: paints the form's background colour and picture.
class ClientArea : public QWidget {
public:
    // Every pixel is painted, so Qt need not clear the area first.
    explicit ClientArea(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    QPixmap picture;
    QColor backColor{192, 192, 192};

protected:
    void paintEvent(QPaintEvent* event) override;
};

class FormWindow : public QWidget {
    Q_OBJECT
public:
    FormWindow(Form& form, const Form::Design& design);
    ~FormWindow() override;

    // The form this is the window of; nullptr once the form is being destroyed.
    Form* form() const { return form_; }
    // The form is being destroyed and destroys this window: no event of the
    // window reaches the form any more.
    void release() { form_ = nullptr; }

    platform::HWND hWnd() const { return hwnd_; }
    QString Caption() const;
    ClientArea* Client() const { return client_; }

    // Places the window the first time, then shows, raises and activates it.
    void showForm();
    void setIcon(const QImage& icon);
    // A menu bar item without submenu; & marks its access key (Alt + key).
    void addMenuItem(const QString& caption, std::function<void()> action);

    // What the window layer asks of the form as the window's host (the
    // platform::WindowHost calls, passed on by the form's host in FormWindow.cpp).
    void surfaceChanged();
    void closeRequested();
    void textChanged();
    void startMove();
    void startSize(int hitCode);
    void showState(int showCommand);
    void menuCommand(int item);
    bool activate();

    void setVisible(bool visible) override;

protected:
    // The deferred deletion of Unload() destroys the form, and the form this window.
    bool event(QEvent* event) override;
    // Tab stops once on an option group, at its selected option.
    bool focusNextPrevChild(bool next) override;
    // Form_QueryUnload, then the unload step unless it was cancelled.
    void closeEvent(QCloseEvent* event) final;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // A press on the caption or a border arms a move or size (Pending*); it
    // starts once the pointer has moved past the drag distance with the
    // button down, so a quick click never hands the window to the manager.
    // Move and Size are our own loop, where no manager does it.
    enum class Drag { None, PendingMove, PendingSize, Move, Size };
    struct MenuItem {
        QString caption;
        std::function<void()> action;
    };

    void syncWindowRect();
    void placeFirstTime();
    void layoutClient();
    platform::LPARAM screenPoint(const QMouseEvent* event) const;
    void dragTo(const QPoint& globalPos);
    void beginDrag(const QPoint& globalPos);

    Form* form_;
    StartUpPosition position_;
    std::unique_ptr<platform::WindowHost> host_;
    platform::HWND hwnd_ = nullptr;
    ClientArea* client_ = nullptr;
    platform::HICON smallIcon_ = nullptr;
    bool placed_ = false;
    Drag drag_ = Drag::None;
    int dragEdge_ = 0;
    QPoint dragStart_;
    // The screen point of the mouse press being handled: a drag starts there,
    // not wherever the pointer is by the time we get to it.
    std::optional<QPoint> pressPoint_;
    QRect dragGeometry_;
    QRect normalGeometry_;
    std::vector<MenuItem> menu_;
};

} // namespace qt

// The form's window and client area, which its controls are placed in.
struct Form::Window final : Container {
    explicit Window(Form& owner) : form(owner) {}
    Form& OwnerForm() const override { return form; }
    native::Widget* ContainerWidget() const override;

    Form& form;
    qt::FormWindow* widget = nullptr; // none once Qt destroyed it
};

} // namespace platform::forms

// A form: a top-level window with a client area that holds controls, its
// load, resize and unload steps, and the window record (hWnd) through which
// the window layer sends it messages.
#pragma once

#include "platform/window.h"

#include <QColor>
#include <QCursor>
#include <QImage>
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

enum class BorderStyle { FixedSingle, Sizable };
enum class StartUpPosition { CenterScreen, WindowsDefault };

class Form : public QWidget {
    Q_OBJECT
public:
    struct Design {
        QString caption;
        BorderStyle border = BorderStyle::FixedSingle;
        bool minButton = false;
        bool maxButton = false;
        bool hasMenu = false;
        int clientWidth = 0; // twips
        int clientHeight = 0;
        StartUpPosition position = StartUpPosition::WindowsDefault;
        // The window that owns this one: a dialog kept above its owner, as a
        // message box is. None for the program's own windows.
        QWidget* owner = nullptr;
    };

    explicit Form(const Design& design);
    ~Form() override;

    // Runs the load step once; Show() loads first when needed.
    void Load();
    bool IsLoaded() const { return loaded_; }
    void Show();
    void Hide();
    // Runs the unload step and destroys the form.
    void Unload();

    QString Caption() const;
    void setCaption(const QString& caption);
    platform::HWND hWnd() const { return hwnd_; }

    // The form's own free-form text; programs use it as a flag.
    QString Tag;

    // The client area, which holds the controls.
    QWidget* Client() const { return client_; }
    // Client size in twips.
    int ScaleWidth() const;
    int ScaleHeight() const;

    void setIcon(const QImage& icon);
    void setPicture(const QPixmap& picture);
    void setBackColor(const QColor& colour);
    void setMousePointer(const QCursor& pointer);
    // A menu bar item without submenu; & marks its access key (Alt + key).
    void addMenuItem(const QString& caption, std::function<void()> action);

    // What the window layer asks of the form as the window's host (the
    // platform::WindowHost calls, passed on by the form's host in Form.cpp).
    void surfaceChanged();
    void closeRequested();
    void textChanged();
    void startMove();
    void startSize(int hitCode);
    void showState(int showCommand);
    void menuCommand(int item);
    bool activate();

    void setVisible(bool visible) override;

    // Raises the form's resize event; the runtime's window procedure calls it.
    void raiseResize() { Form_Resize(); }

protected:
    virtual void Form_Load() {}
    virtual void Form_Resize() {}
    // Asked when the window is to close (its Close box, the window menu, the
    // window manager), before the unload step; setting `cancel` keeps the
    // window open and loaded. Unload() called by the program does not ask.
    virtual void Form_QueryUnload(bool& /*cancel*/) {}
    virtual void Form_Unload() {}

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

    Design design_;
    std::unique_ptr<platform::WindowHost> host_;
    platform::HWND hwnd_ = nullptr;
    QWidget* client_ = nullptr;
    platform::HICON smallIcon_ = nullptr;
    bool loaded_ = false;
    bool unloading_ = false;
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

// The forms runtime's own window procedure: every form starts with it.
platform::LRESULT FormWndProc(platform::HWND hwnd, platform::UINT msg, platform::WPARAM wParam,
                              platform::LPARAM lParam);

// Ends the program at once: no other form runs its unload step.
void End();

} // namespace platform::forms

#include "platform/forms/MsgBox.h"

#include "platform/forms/Accessible.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Design.h"
#include "platform/forms/Form.h"
#include "platform/forms/Twips.h"
#include "platform/forms/qt/Design.h"
#include "platform/forms/qt/FormWindow.h"
#include "platform/forms/qt/Native.h"
#include "platform/win32.h"
#include "platform/window_host.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace platform::forms {

namespace {

MsgBoxHook& Hook() {
    static MsgBoxHook h;
    return h;
}

struct ButtonChoice {
    const char* caption;
    int answer;
};

std::vector<ButtonChoice> ButtonsFor(UINT style) {
    switch (style & 0x0F) {
    case MB_OKCANCEL:
        return {{"OK", IDOK}, {"Cancel", IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{"&Abort", IDABORT}, {"&Retry", IDRETRY}, {"&Ignore", IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{"&Yes", IDYES}, {"&No", IDNO}, {"Cancel", IDCANCEL}};
    case MB_YESNO:
        return {{"&Yes", IDYES}, {"&No", IDNO}};
    case MB_RETRYCANCEL:
        return {{"&Retry", IDRETRY}, {"Cancel", IDCANCEL}};
    default:
        return {{"OK", IDOK}};
    }
}

std::optional<QStyle::StandardPixmap> IconFor(UINT style) {
    switch (style & 0xF0) {
    case MB_ICONHAND:
        return QStyle::SP_MessageBoxCritical;
    case MB_ICONQUESTION:
        return QStyle::SP_MessageBoxQuestion;
    case MB_ICONEXCLAMATION:
        return QStyle::SP_MessageBoxWarning;
    case MB_ICONASTERISK:
        return QStyle::SP_MessageBoxInformation;
    default:
        return std::nullopt;
    }
}

// Closed without a button: Cancel where there is one, else the last button.
int CloseAnswer(const std::vector<ButtonChoice>& choices) {
    for (const ButtonChoice& choice : choices) {
        if (choice.answer == IDCANCEL) {
            return IDCANCEL;
        }
    }
    return choices.back().answer;
}

// Sizes in pixels, as the classic message box lays itself out.
constexpr int Margin = 12;
constexpr int IconSize = 32;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 23;
constexpr int ButtonGap = 6;

// The keys a window hears once its focused control has passed them on.
class WindowKeys : public QObject {
public:
    WindowKeys(QWidget* window, std::function<bool(const QKeyEvent*)> handle)
        : QObject(window), handle_(std::move(handle)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        return watched == parent() && event->type() == QEvent::KeyPress &&
               handle_(static_cast<const QKeyEvent*>(event));
    }

private:
    std::function<bool(const QKeyEvent*)> handle_;
};

// A message box is a window of ours like any other: its frame and plain
// caption come from the window layer, with a close button only, and it is a
// dialog owned by the window that asked.
class MessageBoxForm : public Form {
public:
    // The answer goes to `answer`, and `loop`, the wait for it, ends then.
    MessageBoxForm(const std::string& prompt, UINT style, const std::string& title, Form* owner,
                   int& answer, QEventLoop& loop)
        : Form(designFor(prompt, style, title, owner)), choices_(ButtonsFor(style)),
          answer_(answer), loop_(loop) {
        QWidget* window = qt::ToQt(Native());
        QWidget* client = qt::ToQt(Client()->ContainerWidget());
        // A screen reader says the title and the message as the box opens.
        SetAccessibleRole(this, AccessibleRole::Alert);
        window->setAccessibleDescription(QString::fromStdString(prompt));
        const Layout l = layoutFor(prompt, style, title);
        if (const std::optional<QStyle::StandardPixmap> icon = IconFor(style)) {
            auto* picture = new QLabel(client);
            picture->setPixmap(
                QApplication::style()->standardIcon(*icon).pixmap(IconSize, IconSize));
            picture->setGeometry(Margin, Margin, IconSize, IconSize);
        }
        auto* text = new Label(Client(), prompt);
        qt::ToQt(text->Native())->setGeometry(l.text);
        const std::size_t defaultIndex = static_cast<std::size_t>((style & 0xF00) >> 8);
        int x = (l.client.width() - l.buttonsWidth) / 2;
        for (std::size_t i = 0; i < choices_.size(); ++i) {
            auto* button = new CommandButton(Client(), choices_[i].caption);
            qt::ToQt(button->Native())->setGeometry(x, l.buttonsTop, ButtonWidth, ButtonHeight);
            x += ButtonWidth + ButtonGap;
            const int answer = choices_[i].answer;
            button->Click = [this, answer] { answerWith(answer); };
            if (i == defaultIndex || (i == 0 && defaultIndex >= choices_.size())) {
                button->setDefault(true);
                button->setFocus();
            }
        }
        new WindowKeys(window, [this](const QKeyEvent* event) { return keyPressed(event); });
        const QPoint half(window->width() / 2, window->height() / 2);
        if (owner) {
            const QRect over = qt::ToQt(owner->Native())->frameGeometry();
            window->move(over.center() - half);
        } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            window->move(screen->availableGeometry().center() - half);
        }
        window->setWindowModality(Qt::ApplicationModal);
    }

protected:
    void Form_Unload() override {
        if (!answer_) {
            answer_ = CloseAnswer(choices_);
        }
        loop_.quit();
    }

private:
    bool keyPressed(const QKeyEvent* event) {
        if (event->key() != Qt::Key_Escape) {
            return false;
        }
        // Escape is Cancel, or OK where OK is the only button.
        const auto cancel =
            std::find_if(choices_.begin(), choices_.end(),
                         [](const ButtonChoice& c) { return c.answer == IDCANCEL; });
        if (cancel != choices_.end()) {
            answerWith(IDCANCEL);
        } else if (choices_.size() == 1) {
            answerWith(choices_.front().answer);
        }
        return true;
    }

    struct Layout {
        QRect client;
        QRect text;
        int buttonsTop = 0;
        int buttonsWidth = 0;
    };

    static Layout layoutFor(const std::string& promptText, UINT style,
                            const std::string& titleText) {
        const QString prompt = QString::fromStdString(promptText);
        const QString title = QString::fromStdString(titleText);
        const QFontMetrics metrics(qt::DefaultDialogQFont());
        int wrapAt = 400;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            wrapAt = std::max(wrapAt, screen->availableGeometry().width() * 5 / 8);
        }
        const QRect needed = metrics.boundingRect(QRect(0, 0, wrapAt, 100000),
                                                  Qt::TextWordWrap | Qt::TextExpandTabs, prompt);
        const bool icon = IconFor(style).has_value();
        const int textLeft = Margin + (icon ? IconSize + Margin : 0);
        const int contentHeight = std::max(icon ? IconSize : 0, needed.height());
        const int textTop = Margin + (contentHeight - needed.height()) / 2;
        const auto count = static_cast<int>(ButtonsFor(style).size());
        Layout l;
        l.buttonsWidth = count * ButtonWidth + (count - 1) * ButtonGap;
        l.buttonsTop = Margin + contentHeight + Margin + 6;
        QFont captionFont = qt::DefaultDialogQFont();
        captionFont.setBold(true);
        const int captionWidth = QFontMetrics(captionFont).horizontalAdvance(title) + 40;
        const int width = std::max(
            {textLeft + needed.width() + Margin, l.buttonsWidth + 2 * Margin, captionWidth, 120});
        l.client = QRect(0, 0, width, l.buttonsTop + ButtonHeight + Margin);
        l.text = QRect(textLeft, textTop, needed.width() + 1, needed.height());
        return l;
    }

    static Design designFor(const std::string& prompt, UINT style, const std::string& title,
                            Form* owner) {
        const Layout l = layoutFor(prompt, style, title);
        Design d;
        d.caption = title;
        d.border = BorderStyle::FixedSingle;
        d.clientWidth = PixelsToTwips(l.client.width());
        d.clientHeight = PixelsToTwips(l.client.height());
        d.owner = owner;
        return d;
    }

    void answerWith(int answer) {
        answer_ = answer;
        Unload();
    }

    std::vector<ButtonChoice> choices_;
    int& answer_;
    QEventLoop& loop_;
};

} // namespace

int MsgBox(const std::string& prompt, UINT style, const std::string& title, Form* asking) {
    if (Hook()) {
        return Hook()(prompt, style, title);
    }
    Form* owner = asking;
    if (!owner || !owner->Visible()) {
        platform::WindowHost* active = platform::WindowHostOf(platform::GetActiveWindow());
        auto* window = active ? qobject_cast<qt::FormWindow*>(active->hostWidget()) : nullptr;
        owner = window ? window->form() : nullptr;
    }
    if (owner && !owner->Visible()) {
        owner = nullptr;
    }
    const QPointer<QWidget> ownerWindow = owner ? qt::ToQt(owner->Native()) : nullptr;
    int answer = 0;
    QEventLoop loop;
    auto* box = new MessageBoxForm(prompt, style, title, owner, answer, loop);
    // Should the box go with a window that owns it, the wait ends there.
    bool gone = false;
    box->WhenDestroyed([&gone, &loop] {
        gone = true;
        loop.quit();
    });
    box->Show();
    loop.exec();
    if (!gone) {
        delete box;
    }
    // The window that asked is active again, as when an owned window closes.
    if (ownerWindow) {
        ownerWindow->activateWindow();
    }
    return answer;
}

void SetMsgBoxHook(MsgBoxHook h) {
    Hook() = std::move(h);
}

} // namespace platform::forms

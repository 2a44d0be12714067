// What a form does the same on every platform.
#include "platform/forms/Form.h"

namespace platform::forms {

void Form::adopt(Control* control) {
    controls_.emplace_back(control);
}

void Form::WhenDestroyed(std::function<void()> action) {
    whenDestroyed_.push_back(std::move(action));
}

void Form::Load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    Form_Load();
}

} // namespace platform::forms

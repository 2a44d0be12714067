// The text box's record of line breaks: each line keeps the break it had in
// the file through edits, undo and redo.
//
// RichEdit does not say what an edit changed, only that the text changed. So
// after each change the lines are compared with those before, by a hash of
// each line: the lines that differ between the unchanged first and last ones
// are what the edit touched, and where whole lines came or went the caret
// tells on which side of a break. An undo or a redo that brings back a text
// seen before gives back that text's breaks, for as many steps as the control
// can undo. Where Linux replays the exact edits, this differs only after an
// undo beyond that record, whose restored lines then take the file's first
// style, and where an edit leaves a line's own text exactly as another's.
#include "platform/forms/win32/TextEditWindow.h"

#include <richedit.h>

#include <algorithm>
#include <utility>

namespace platform::forms::win32 {

namespace {

// Two texts for each step the control's undo list holds by default.
constexpr std::size_t MaxBreakStates = 200;

std::vector<std::uint64_t> LineHashes(const std::wstring& text) {
    std::vector<std::uint64_t> hashes;
    std::uint64_t hash = 14695981039346656037ull;
    for (const wchar_t c : text) {
        if (c == L'\r') {
            hashes.push_back(hash);
            hash = 14695981039346656037ull;
            continue;
        }
        hash = (hash ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
    }
    hashes.push_back(hash);
    return hashes;
}

std::uint64_t TextHash(const std::vector<std::uint64_t>& lines) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const std::uint64_t line : lines) {
        hash = (hash ^ line) * 1099511628211ull;
    }
    return hash;
}

// The line the caret is on.
std::size_t CaretLine(HWND window, const std::wstring& text) {
    CHARRANGE selection{};
    SendMessageW(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    const std::size_t caret =
        std::min(static_cast<std::size_t>(std::max<LONG>(selection.cpMax, 0)), text.size());
    return static_cast<std::size_t>(
        std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(caret), L'\r'));
}

} // namespace

void TextEditWindow::resetBreakRecord() {
    lineHashes_.clear();
    breakStates_.clear();
    if (lineBreaks_.empty()) {
        return;
    }
    lineHashes_ = LineHashes(wideText());
    if (lineBreaks_.size() != lineHashes_.size() - 1) {
        // The control holds other lines than the file had: every line takes
        // the file's first style.
        lineBreaks_.clear();
        lineHashes_.clear();
        return;
    }
    textHash_ = TextHash(lineHashes_);
    breakStates_.push_back({textHash_, lineHashes_.size(), lineBreaks_});
}

// Keeps the list of line breaks in step with the lines: the breaks an edit
// took away go, and the ones it made take the file's first style, so every
// other line keeps the break it had in the file.
void TextEditWindow::noteChange() {
    if (showing_ || lineBreaks_.empty() || !window_) {
        return;
    }
    const std::wstring text = wideText();
    std::vector<std::uint64_t> now = LineHashes(text);
    const std::uint64_t hash = TextHash(now);
    const auto lostStep = [this] {
        lineBreaks_.clear(); // every line takes the file's first style
        lineHashes_.clear();
        breakStates_.clear();
    };
    // The texts just before and after a change of the breaks are kept, for
    // an undo or a redo to find.
    const BreakState earlier{textHash_, lineHashes_.size(), lineBreaks_};
    const auto remember = [this, hash, &earlier] {
        textHash_ = hash;
        if (lineBreaks_ == earlier.lineBreaks) {
            return;
        }
        if (breakStates_.empty() || breakStates_.back().textHash != earlier.textHash) {
            breakStates_.push_back(earlier);
        }
        breakStates_.push_back({hash, lineHashes_.size(), lineBreaks_});
        while (breakStates_.size() > MaxBreakStates) {
            breakStates_.erase(breakStates_.begin());
        }
    };
    if (undoing_) {
        for (auto state = breakStates_.rbegin(); state != breakStates_.rend(); ++state) {
            if (state->textHash == hash && state->lines == now.size()) {
                lineBreaks_ = state->lineBreaks;
                lineHashes_ = std::move(now);
                textHash_ = hash;
                return;
            }
        }
    }

    const std::size_t before = lineHashes_.size();
    const std::size_t after = now.size();
    if (before == 0 || lineBreaks_.size() != before - 1) {
        lostStep();
        return;
    }
    std::size_t head = 0;
    while (head < before && head < after && lineHashes_[head] == now[head]) {
        ++head;
    }
    std::size_t tail = 0;
    while (tail < before - head && tail < after - head &&
           lineHashes_[before - 1 - tail] == now[after - 1 - tail]) {
        ++tail;
    }
    const std::size_t oldLines = before - head - tail;
    const std::size_t newLines = after - head - tail;
    std::size_t line = head;
    std::size_t taken = 0;
    std::size_t made = 0;
    if (oldLines > 0 && newLines > 0) {
        // Lines changed: the breaks between them went, new ones came.
        taken = oldLines - 1;
        made = newLines - 1;
    } else if (newLines > 0) {
        // Whole lines came: after the break before them ("X\n" put at a
        // line's start, the caret after them) or before it ("\nX" put at a
        // line's end), which then goes on after them.
        made = newLines;
        const bool atStart = head == 0 || (tail > 0 && CaretLine(window_, text) >= head + newLines);
        line = atStart ? head : head - 1;
    } else if (oldLines > 0) {
        // Whole lines went, with the break after them or the one before.
        taken = oldLines;
        const bool atStart = head == 0 || (tail > 0 && CaretLine(window_, text) >= head);
        line = atStart ? head : head - 1;
    }
    lineHashes_ = std::move(now);
    if (taken == 0 && made == 0) {
        remember();
        return;
    }
    if (line + taken > lineBreaks_.size()) {
        lostStep();
        return;
    }
    lineBreaks_.replace(line, taken, std::string(made, static_cast<char>(format_.lineBreak)));
    if (lineBreaks_.size() != lineHashes_.size() - 1) {
        lostStep();
        return;
    }
    remember();
}

} // namespace platform::forms::win32

// The text control's record of line breaks: each line keeps the break it had in
// the file through edits, undo and redo.
#include "platform/forms/qt/TextEdit.h"

#include <QTextBlock>
#include <QTextDocument>
#include <utility>

namespace platform::forms::qt {

// Keeps the list of line breaks in step with the lines: the breaks an edit
// took away go, and the ones it made take the file's first style, so every
// other line keeps the break it had in the file. An undo or a redo gives back
// the breaks from the record of the edits it took back or made again. The
// fill only adds lines that the list already holds.
void TextEdit::noteContentsChange(int position, int removed, int added) {
    Q_UNUSED(removed);
    QTextDocument* doc = document();
    if (sender() != doc) {
        return;
    }
    const int blocks = doc->blockCount();
    // An edit adds a step to the undo list; an undo or a redo only moves along it.
    const bool edit = std::exchange(newUndoStep_, false);
    const int stepsBefore = std::exchange(undoSteps_, doc->availableUndoSteps());
    if (Filling() || lineBreaks_.isEmpty()) {
        blocksKnown_ = blocks;
        return;
    }
    const auto lostStep = [this] {
        lineBreaks_.clear(); // every line takes the file's first style
        breakEdits_.clear();
    };
    if (!edit && undoSteps_ != stepsBefore) {
        blocksKnown_ = blocks;
        if (!replayBreakEdits(stepsBefore, undoSteps_) || lineBreaks_.size() != blocks - 1) {
            lostStep();
        }
        return;
    }
    const int line = doc->findBlock(position).blockNumber();
    const int made = doc->findBlock(position + added).blockNumber() - line;
    const int taken = blocksKnown_ - blocks + made;
    blocksKnown_ = blocks;
    if (line < 0 || made < 0 || taken < 0 || line + taken > lineBreaks_.size()) {
        lostStep();
        return;
    }
    // A new edit ends what could be redone, in the document and here.
    while (edit && !breakEdits_.empty() && breakEdits_.back().undoSteps > stepsBefore) {
        breakEdits_.pop_back();
    }
    if (taken == 0 && made == 0) {
        return;
    }
    BreakEdit change{undoSteps_, line, lineBreaks_.mid(line, taken),
                     QByteArray(made, static_cast<char>(format_.lineBreak))};
    lineBreaks_.replace(line, taken, change.made);
    if (edit) {
        breakEdits_.push_back(std::move(change));
    }
}

// Moves the line breaks from one place in the undo list to another: back
// over the edits an undo took back, or on over those a redo made again.
// False when the record does not fit the list.
bool TextEdit::replayBreakEdits(int fromSteps, int toSteps) {
    const auto replace = [this](const BreakEdit& e, const QByteArray& now, const QByteArray& then) {
        if (e.line + now.size() > lineBreaks_.size()) {
            return false;
        }
        lineBreaks_.replace(e.line, now.size(), then);
        return true;
    };
    if (toSteps < fromSteps) {
        for (auto e = breakEdits_.rbegin(); e != breakEdits_.rend(); ++e) {
            if (e->undoSteps > toSteps && e->undoSteps <= fromSteps &&
                !replace(*e, e->made, e->taken)) {
                return false;
            }
        }
        return true;
    }
    for (const BreakEdit& e : breakEdits_) {
        if (e.undoSteps > fromSteps && e.undoSteps <= toSteps && !replace(e, e.taken, e.made)) {
            return false;
        }
    }
    return true;
}

} // namespace platform::forms::qt

#pragma once
// Test access to an operation sequence's record handling.

#include "foundation/progress/operation_sequence.h"

struct OperationSequenceTestAccess {
    // Handles one record as a poll would (records that are no report are
    // ignored there).
    static void onOperation(OperationSequence& s, const Operation& op) {
        if (op.isReport())
            s.onOperation(op);
    }
    static bool hasTimer(const OperationSequence& s) { return s.timer_ != nullptr; }
    static uint32_t currentOperation(const OperationSequence& s) { return s.currentOperation_; }
    static bool finished(const OperationSequence& s) { return s.finished_.load(); }
    static progress::ChunkedProgress& progress(OperationSequence& s) { return *s.progress_; }
};

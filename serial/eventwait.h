#pragma once

#include <QDeadlineTimer>
#include <functional>

namespace serialports {

// The one wait of both front ends: runs the calling thread's events until `done` holds or
// `deadline` has passed, and blocks between events instead of spinning. Whatever runs meanwhile
// (answers from the port, clicks, a simulated radio on the same thread, another wait nested in a
// slot) is served; a nested wait ends on its own deadline. True when `done` held; a wait without
// a condition lasts until its deadline.
bool waitUntil(const QDeadlineTimer &deadline, const std::function<bool()> &done = {});

} // namespace serialports

// Pending window messages, run between the pieces of a long piece of work
// (the program's body reads, the page read of the internet support library).
#pragma once

namespace tolvar::kernel {

// Runs the pending events, at most once a millisecond: a full event-loop
// iteration (a GLib iteration and a poll) each time would cost more than the
// piece of work between two calls, and once a millisecond still repaints the
// window and fires its timers on time.
void process_pending_events();

}  // namespace tolvar::kernel

#pragma once
// How long reading a folder kept its thread waiting (for a disk, a network
// share) and how long it kept it busy. The scan keeps more folder reads in
// flight the longer its reads wait: a warm cache needs few threads, a
// network share that answers in a millisecond needs many.
//
// A thread that was only preempted (a busy machine), or slept now and then
// on a lock, has not waited for its reads: on Linux a read counts as waiting
// only when the thread gave up the processor itself (voluntary context
// switches) for at least one in eight of its system calls, as every call to
// a network share or a cold disk does.

#include <QtGlobal>

struct ReadCost {
    qint64 waitedNs = 0;
    qint64 busyNs = 0;
};

/** Notes the moment it is made; elapsed() gives the cost since. */
class ReadTimer {
public:
    ReadTimer();
    /** The cost since the timer was made, of a read that made about `calls` system calls. */
    ReadCost elapsed(qint64 calls) const;

private:
    qint64 m_wallNs = 0;
    qint64 m_busyNs = 0;
    qint64 m_switches = 0;
};

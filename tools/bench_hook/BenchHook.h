// The benchmark's eyes inside a measured process: a hook DLL that the system loads into the thread the
// benchmark names. It records what wakes that thread (the messages it takes from its queue and those other
// threads send it) and, on request, counts the process's GDI and USER objects. Results go to a named shared
// memory block that the benchmark reads.
//
// The benchmark posts kCommandMessageName (registered) to any window of the thread with a command in
// wParam; the hook acts on it and hides it from the window (it turns into WM_NULL).
#pragma once

#include "ObjectProbe.h"

#include <windows.h>

#include <cstdint>

namespace benchhook {

inline constexpr wchar_t kCommandMessageName[] = L"VemraBenchHookCommand";
// The environment variable naming the shared block; the measured process inherits it from the benchmark.
inline constexpr wchar_t kSharedNameVariable[] = L"VEMRA_BENCH_HOOK_SHARED";
inline constexpr char kInstallExport[] = "BenchHookInstall";
inline constexpr char kRemoveExport[] = "BenchHookRemove";

enum Command : uint32_t {
    kCommandStartRecording = 1,  // clears the table
    kCommandStopRecording = 2,   // ends the table
    kCommandCountObjects = 3,    // GDI and USER objects into objects
    kCommandMarkObjects = 4,     // remembers which GDI slots hold objects now
    kCommandDescribeNew = 5,     // describes the GDI objects made since the mark, into newObjects
    kCommandClearMark = 6,       // forgets the mark: the next description lists every GDI object
    kCommandTimeRepaint = 7,     // repaints the command's window and its children at once, into repaintUs
};

enum WakeKind : uint32_t {
    kWakeQueued = 0,  // taken from the queue: posted, timer, paint, input
    kWakeSent = 1,    // sent by another thread or process
};

struct WakeEntry {
    uint32_t kind;
    uint32_t message;
    uint64_t timerId;  // WM_TIMER's id, else 0
    int32_t count;
    wchar_t windowClass[64];  // empty: a message for the thread, not a window
};

inline constexpr int kMaxEntries = 256;
inline constexpr int kMaxTimeline = 400;

// One message as a thread took it, on the performance counter's clock (which every process shares): the
// time from one to the next is what handling the first took, when messages wait in the queue.
struct TimelineEntry {
    double us;
    uint32_t kind;
    uint32_t message;
    wchar_t windowClass[40];
};

struct Shared {
    volatile LONG commandsDone;  // raised once per command handled
    volatile LONG recording;
    int32_t entries;
    int32_t droppedEntries;  // kinds beyond the table's size
    WakeEntry table[kMaxEntries];
    objprobe::Counts objects;
    uint8_t markedKinds[0x10000];  // GetObjectType of every slot at the mark
    char newObjects[8192];         // one line per object made since the mark
    double repaintUs;
    // With the hook set for every thread (threadId 0): the messages of the process timelineProcess, from the
    // first the hook sees there (it is loaded into a process when a thread there takes its first message).
    volatile LONG timelineProcess;
    volatile LONG timelineCount;
    TimelineEntry timeline[kMaxTimeline];
    uint32_t processId;
    uint32_t threadId;
};

// Exported by the DLL: hooks threadId (of any process; 0: every thread of the desktop) and returns nonzero on
// success; remove takes the hooks off again (the system also does when the calling thread ends). One set of
// hooks at a time.
using InstallFn = int (*)(DWORD threadId);
using RemoveFn = void (*)();

}  // namespace benchhook

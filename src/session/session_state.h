// The values that describe where a device session stands, shared by the dialogue and the
// controller that starts sessions and records their results.
#pragma once

namespace session {

// The dialogue's step; the numbers are the ones the device tooling has always shown.
enum class SessionStep : int {
    Idle = 0,
    Login = 1,
    ReadVersion = 2,
    ReadMac = 3,
    ReadName = 4,
    DumpBefore = 5,
    StreamSettings = 6,
    DumpAfter = 7,
    ReadLog20 = 8,
    SettlePrompt = 9,
    QuitPrompt = 20,
    AwaitClose = 99,
};

// The kind of run; "停止" sets Stopped while a session goes on.
enum class SessionMode : int {
    Stopped = 0,
    SingleCheck = 1,
    SingleSend = 2,
    BulkCheck = 5,
    BulkSend = 6,
};

constexpr bool IsCheckMode(SessionMode m) {
    return m == SessionMode::SingleCheck || m == SessionMode::BulkCheck;
}
constexpr bool IsSendMode(SessionMode m) {
    return m == SessionMode::SingleSend || m == SessionMode::BulkSend;
}

// How the dialogue moves on. Prescribed keeps the fixed pauses the window has always kept;
// prompt goes on as soon as a step's marker is in, for devices that answer at once.
enum class Pace : int {
    Prescribed = 0,
    Prompt = 1,
};

// SessionResult values.
constexpr int kResultPending = 999;
constexpr int kResultOk = 0;
constexpr int kResultLoginError = 4;
constexpr int kResultTimeOut = 5;
constexpr int kResultExists = 6;
// A text the session saved lost its head for memory: never a success.
constexpr int kResultTextCut = 7;
// A file of the session could not be written: never a success, whatever the device answered.
constexpr int kResultSaveFailed = 8;
constexpr int kResultFailure = 421;

}  // namespace session

// One socket's duvoload process, started by a run on several sockets (a gang, or a station on
// several sockets): tied to a job that ends it with its parent, given its plan on stdin, each of
// its lines handed on as it comes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

struct SocketProcess {
    unsigned socket = 0;
    HANDLE process = nullptr;  // null when it could not be started, or once it has been awaited
    HANDLE planWrite = nullptr;
    HANDLE outputRead = nullptr;
    HANDLE relay = nullptr;
    // Each line of its output, on the relay's thread.
    std::function<void(const std::string& line)> onLine;
};

// This program's own path, as the sockets' command lines take it: their processes run it again.
std::u16string ProgramPath();

// A job that ends every socket's process when the parent ends, however it ends: no socket's
// download goes on unwatched, with nobody to report it. Null, with the system's reason, when the
// system cannot make one.
HANDLE KillOnCloseJob(std::string* reason);

enum class StartResult {
    Started,
    NotStarted,   // the system's reason says why; nothing is left open
    NotInJob,     // it could not be tied to the job: it was ended before it ran
    NotFollowed,  // no thread could read its lines: it was ended before it was given its plan
};

// Starts the socket's process in `job`, with stdin and stdout/stderr on pipes of ours, and a
// thread that hands on its lines.
StartResult StartSocketProcess(SocketProcess* socket, const std::wstring& commandLine, HANDLE job,
                               std::string* reason);

// Writes the plan to its stdin, then closes it.
void SendPlan(SocketProcess* socket, const std::string& plan);

// Waits for the process to end and for its last lines to be handed on; returns its exit code as
// the system gives it.
DWORD AwaitSocketProcess(SocketProcess* socket);

// A line of the run's own about a socket, on stderr: "duvoload: socket 2: TEXT".
void SayOfSocket(unsigned socket, const std::string& text);

// "its process ended with 00000000": how the system says the process ended, for SayOfSocket.
std::string ProcessEndedWith(DWORD code);

// Ends a process that was started but not given its plan (another socket could not start).
void EndUnfed(SocketProcess* socket);

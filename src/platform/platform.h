// Everything ksLog needs from the operating system, in the system's own terms.
// posix/ and win32/ implement it; nothing else includes system headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace ksPlatform {

// ---------------------------------------------------------------------------
// Process and environment
// ---------------------------------------------------------------------------

// Copies the variable's value into buffer (size bytes with its terminator) and returns
// true; false when the variable is not set or its value does not fit.
bool getEnvironment(const char* name, char* buffer, size_t size);

// The variable's value as a new heap C string (release with free()), or null when the
// variable is not set.
char* environmentText(const char* name);

// What runs when the library is unloaded or the process exits normally; the latest
// registration wins. The core registers its teardown when it first starts, so that
// this layer calls nothing above it.
void setUnloadHook(void (*hook)());

// ---------------------------------------------------------------------------
// Threads, lock and time
// ---------------------------------------------------------------------------

// A lock for one holder at a time. Whether the holder may take it again is left open:
// the core counts a holder's nested entries itself and takes the lock once.
struct Lock;
// Null when memory is exhausted. The library never destroys the lock it keeps; a
// thread that lost the race to create it destroys its own copy.
Lock* createLock();
void destroyLock(Lock* lock);
void acquireLock(Lock* lock);
void releaseLock(Lock* lock);

// Runs prepare in the thread that calls fork() before the process is copied, then parent
// in the parent and child in the child (whose only thread is the caller). Each call adds
// one set; nothing happens where the system has no fork.
void onFork(void (*prepare)(), void (*parent)(), void (*child)());

// Lets another ready thread run; used while waiting for a thread that is about to finish.
void yieldThread();

// The calling thread's id as the system numbers threads; never 0. Cheap enough to call
// for every record.
uint32_t currentThreadId();

struct LocalTime {
    int year, month, day, hour, minute, second, millisecond;
};
// The wall clock in the local time zone, to the millisecond. Cheap enough to call for
// every record: where the conversion costs, the calendar part is reused within a second.
LocalTime localTime();

// The local calendar time of a moment given in seconds since 1970, to the second (the
// millisecond is 0). 64-bit, so that moments after 2038 convert like any other. False
// when the system cannot convert the moment.
bool localTimeAt(int64_t secondsSince1970, LocalTime* local);

// The wall clock: microseconds since 1970-01-01 00:00 UTC.
uint64_t wallClockMicroseconds();

// ---------------------------------------------------------------------------
// Files and folders
// ---------------------------------------------------------------------------

// Paths given to these functions are UTF-8 in the platform's own form (the configuration
// layer normalises them); the Windows layer converts each to UTF-16 just before its call.
// Failures are the system's small negative codes; the native error is translated in one
// place per platform.
enum : int32_t {
    kFileFailed = -1,         // any other failure, and paths that cannot be converted
    kFileWriteProtected = -2, // read-only medium or write fault
    kFileNotFound = -3,       // the file or a folder of its path does not exist
    kFileExists = -4,         // the target of a creation or a move exists
    kFileDiskFull = -5,       // no room left on the device
    kFileNotRegular = -6,     // openFile: the name is a FIFO, a device, a folder, ...
};

// An open file: a Windows handle or a POSIX descriptor. kNoFile means none.
using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

// True where paths know drive letters, network paths ("\\server") and the long-path
// prefix and separate with "\" (Windows); false where "/" separates and roots them (POSIX).
bool usesWindowsPaths();

// The executable's full path as a new heap C string in UTF-8 (release with free()), or
// null when it cannot be obtained. Windows asks for it in a buffer of 1040 UTF-16 units
// and counts a path that fills the buffer as not obtained.
char* executablePath();

// The folders that path tokens name, in the order of the token table. POSIX maps them to
// the XDG directories: myAppData to $XDG_CONFIG_HOME (or ~/.config), the user folders to
// the XDG user directories (~/Music, ~/Pictures, ~/Videos unless user-dirs.dirs names
// others), the all-users folders to /var/lib/ksLog/Music, .../Pictures and .../Videos.
enum class Folder {
    myAppData,
    myMusic,
    myPictures,
    myVideos,
    allUsersMusic,
    allUsersPictures,
    allUsersVideos
};
// The folder's path as a new heap C string in UTF-8 (free()), or null.
char* folderPath(Folder folder);

uint32_t currentProcessId();

// What an open asks for once its mode bits were checked: the access, whether the file is
// shared with other openers while open, and what happens when it exists or is missing.
enum class OpenDisposition { createNew, createAlways, openAlways, truncateExisting, openExisting };
struct OpenRequest {
    bool read;
    bool write;
    bool exclusive;
    OpenDisposition disposition;
};
// 0 and the file, or an error code. Only regular disk files are opened: anything else
// (a FIFO, a device, a folder, a link to one of them) gives kFileNotRegular, and the
// opening never waits for a peer.
int32_t openFile(const char* path, const OpenRequest& request, FileHandle* file);
// The number of bytes read (0 at the end), or an error code.
int64_t readFile(FileHandle file, void* buffer, uint32_t count);
// The number of bytes written, or an error code.
int64_t writeFile(FileHandle file, const void* buffer, uint32_t count);
// Origin 0 start, 1 current, 2 end. 0 or an error code.
int32_t seekFile(FileHandle file, int64_t offset, int origin);
// Forces the file's content to the disk. 0 or an error code.
int32_t flushFile(FileHandle file);
int32_t closeFile(FileHandle file);
int32_t deleteFile(const char* path);
// Renames; fails with kFileExists when the target exists.
int32_t moveFile(const char* from, const char* to);
// Makes the names in the folder of path durable after a rename (a no-op where the file
// system does not need it). 0 or an error code.
int32_t flushFolderOf(const char* path);

// A lock shared by every process of the machine that names the same folder, for a
// read-merge-save of a settings file that two processes may run at once. It waits for
// the holder. Null when the system cannot provide it (a folder that cannot be opened, a
// file system without locks): the caller goes on unlocked. Within one process, one holder
// per folder at a time.
struct FolderLock;
FolderLock* lockFolderOf(const char* path);
void unlockFolder(FolderLock* lock);

// file: a regular disk file; other: anything else that exists (a FIFO, a device, ...).
enum class PathKind { missing, file, directory, other };
PathKind pathKind(const char* path);
// Creates one folder whose parent exists. 0 or an error code.
int32_t createFolder(const char* path);

// Log files. Opens path (UTF-8) for writing, every write after the file's end when append
// is true, emptied first otherwise, and shared with readers (on Windows with writers and
// deleters too, so that it can be renamed or deleted while open); child processes do not
// inherit it. kNoFile on failure with errno
// set, so that perror reports the cause; a path the system cannot take (invalid UTF-8 on
// Windows) gives EINVAL. Opening a FIFO that has no reader fails instead of waiting for one.
FileHandle openLogFile(const char* path, bool append);
// The system's write of a log line, reached through recordCalls.writeLog (below).
size_t writeLogFile(FileHandle file, const char* bytes, size_t count);
void closeLogFile(FileHandle file);
// The standard streams' writes and flushes, through stdio, reached through
// recordCalls.writeStream and flushStream. A pipe whose reader went away makes them fail
// with EPIPE; it never ends the process (SIGPIPE).
size_t writeStandardStream(std::FILE* stream, const char* bytes, size_t count);
bool flushStandardStream(std::FILE* stream);

// Log files that live for months: opened so that they can be renamed and deleted under
// the writer, listed with their neighbours, compared with their path, locked around a
// rotation that several processes may attempt at once.

// Which file a handle or a path leads to: the device and file number (POSIX), the volume
// serial number and file index (Windows).
struct FileIdentity {
    uint64_t device;
    uint64_t index;
    bool operator==(const FileIdentity& other) const {
        return device == other.device && index == other.index;
    }
};
// The identity and the size of an open file, and whether it was deleted (POSIX: no name
// leads to it any more; Windows: its deletion waits for the handles to close). False when
// the system cannot tell.
struct OpenFileFacts {
    FileIdentity identity;
    uint64_t size;
    bool deleted;
};
bool describeOpenFile(FileHandle file, OpenFileFacts* facts);
// The identity of the file path names now (links followed); false when there is none.
bool identityOfPath(const char* path, FileIdentity* identity);

// Takes an exclusive lock on the file that other processes taking it through their own
// handles respect; waits for it. Writes are not blocked by it. 0 or an error code.
int32_t lockFile(FileHandle file);
void unlockFile(FileHandle file);

// Calls visit with every name in folder except "." and "..", until visit returns false.
// 0 or an error code.
using FolderVisitor = bool (*)(void* context, const char* name);
int32_t listFolder(const char* folder, FolderVisitor visit, void* context);

// What a name itself is (a symbolic link or other reparse point is never followed and
// counts as other) and when its content last changed, in seconds since 1970.
struct NameFacts {
    PathKind kind;
    int64_t modifiedSeconds;
};
bool factsOfName(const char* path, NameFacts* facts);


// ---------------------------------------------------------------------------
// Sockets and network adapters
// ---------------------------------------------------------------------------

// A stream socket: a Winsock SOCKET or a POSIX descriptor. kNoSocket means none.
using SocketHandle = intptr_t;
constexpr SocketHandle kNoSocket = -1;

// An address as the resolver returned it.
struct SocketAddress {
    alignas(8) unsigned char bytes[128];
    int32_t length;
};

// Results of connect and send besides success: the call would have waited (Winsock's
// WSAEWOULDBLOCK / WSAEINPROGRESS, POSIX's EINPROGRESS / EWOULDBLOCK / EAGAIN), or it
// failed for good.
enum : int32_t {
    kSocketWouldBlock = -1,
    kSocketFailed = -2,
};

// Makes the system's sockets usable; process-wide and idempotent (Winsock is started
// once, version 1.1, and never cleaned up). Its result is not needed: a failure shows
// up as a failing call later.
void startSockets();

// The first IPv4 stream address of host and port (a number or a service name).
bool resolveAddress(const char* host, const char* port, SocketAddress* address);
// A stream socket of the address's family, or kNoSocket.
SocketHandle createStreamSocket(const SocketAddress& address);
void setNonBlocking(SocketHandle socket);
void setSendBufferSize(SocketHandle socket, int32_t bytes);
// 0 when connected at once, kSocketWouldBlock while the connection is under way,
// kSocketFailed otherwise.
int32_t connectSocket(SocketHandle socket, const SocketAddress& address);

// A zero time-out look at a socket whose connection is under way.
enum class ConnectProgress { pending, connected, failed };
ConnectProgress pollConnect(SocketHandle socket);
// A zero time-out look: true when a send would not wait (or would fail at once).
bool pollWritable(SocketHandle socket);

// The bytes sent (possibly fewer than count), kSocketWouldBlock or kSocketFailed. A peer
// that closed the connection gives kSocketFailed; it never raises a signal.
int64_t sendBytes(SocketHandle socket, const char* bytes, uint32_t count);
// Reads and drops, without waiting, what the peer sent and nobody asked for: a socket
// closed with unread bytes is reset, and the reset throws away what it still had to send.
// Bounded, so that a peer that sends without end cannot hold the caller.
void discardReceived(SocketHandle socket);
// A zero time-out look: true when the peer has ended the connection (closed it, or reset
// it). Bytes sent now would still be taken by this side's system, and then be lost
// unseen. Reads and drops what the peer sent before, like discardReceived.
bool peerHasClosed(SocketHandle socket);
// Ends this side's sending after what was already handed over (an orderly end).
void shutdownSending(SocketHandle socket);
void closeSocket(SocketHandle socket);

// A datagram socket connected to a local (Unix-domain) socket at path: the system log.
// kNoSocket when nothing listens at path, or where the system has no such sockets
// (Windows).
SocketHandle connectLocalDatagram(const char* path);
// Sends count bytes as one datagram: 0, or kSocketWouldBlock when the receiver's queue is
// full (after waiting up to a second for room when wait is true), kSocketFailed when it is
// gone or refused the datagram. Never raises a signal.
int32_t sendDatagram(SocketHandle socket, const char* bytes, size_t count, bool wait);

// The debugger's output (OutputDebugStringW on Windows). False where the system has none.
bool hasDebuggerOutput();
// Hands UTF-8 text to the debugger's output as UTF-16; bytes that are not UTF-8 become
// U+FFFD and the text ends at a 0 byte. Does nothing where there is no debugger output.
void writeDebuggerOutput(const char* text, size_t length);

// The 6-byte hardware address of the first Ethernet adapter (Windows: GetAdaptersInfo in
// an 11264-byte buffer; POSIX: the first non-loopback AF_PACKET interface of Ethernet
// type). False when there is none.
bool firstEthernetAddress(uint8_t node[6]);

// Fills buffer with bytes from the system's random source; false when it could not.
bool systemRandomBytes(void* buffer, size_t size);

// ---------------------------------------------------------------------------
// The calls that carry records out of the process
// ---------------------------------------------------------------------------

// The sinks and the settings files' saving reach the system through this table, so that a
// test can make a disk full, a device fail or a peer slow, or set the clock, by replacing
// an entry; nothing else changes them.
//   writeLog:    one log line with one system call: the bytes that reached the file, all
//                of them on success, fewer with errno set (a full disk may take the first
//                part). Windows writes "\n" as "\r\n", as its text files have it.
//   writeStream: the same through a C stream (the standard streams, shared with the
//                application, whose order it keeps).
//   flushStream: true on success.
//   send:        as sendBytes.
//   clock:       as wallClockMicroseconds.
//   writeFile, flushFile, closeFile: as the functions of those names, for the settings
//                files that are saved.
struct RecordCalls {
    size_t (*writeLog)(FileHandle file, const char* bytes, size_t count);
    size_t (*writeStream)(std::FILE* stream, const char* bytes, size_t count);
    bool (*flushStream)(std::FILE* stream);
    int64_t (*send)(SocketHandle socket, const char* bytes, uint32_t count);
    uint64_t (*clock)();
    int64_t (*writeFile)(FileHandle file, const void* buffer, uint32_t count);
    int32_t (*flushFile)(FileHandle file);
    int32_t (*closeFile)(FileHandle file);
};
extern RecordCalls recordCalls;

} // namespace ksPlatform

/*
 * Drives Wrenfield.dll the way a host built with Microsoft's compiler does,
 * without any of the SDK's C++ declarations: interface operations are called
 * by their table index with "this" in ECX and the arguments on the stack, and
 * the host's own objects are tables of function pointers laid out by hand.
 * Passing here shows that the table order, slot 0 and the calling
 * conventions of the library match such a host, independently of how our C++
 * compiler lays out classes.
 */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#define THISCALL __attribute__((thiscall))

static int g_failures;

#define CHECK(condition, ...)                                       \
    do {                                                            \
        if (!(condition)) {                                         \
            ++g_failures;                                           \
            fprintf(stderr, "%s:%d: %s: ", __FILE__, __LINE__, #condition); \
            fprintf(stderr, __VA_ARGS__);                           \
            fputc('\n', stderr);                                    \
        }                                                           \
    } while (0)

/* ---- Calling the library: a Microsoft-compiled caller, in assembly ---- */

/* Bytes the last call left on the stack (or took too many); a callee that
 * does not remove its own arguments, as __thiscall requires, shows here. */
int g_stackImbalance;

/* Calls fn with self in ECX and argc 32-bit arguments pushed right to left,
 * then records how far the stack pointer is from where it should be. */
uintptr_t CallThisSlot(const void* fn, void* self, unsigned argc, const uintptr_t* argv);
__asm__(
    ".text\n"
    ".globl _CallThisSlot\n"
    "_CallThisSlot:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    movl 16(%ebp), %edi\n"
    "    movl 20(%ebp), %esi\n"
    "1:  testl %edi, %edi\n"
    "    jz 2f\n"
    "    decl %edi\n"
    "    pushl (%esi,%edi,4)\n"
    "    jmp 1b\n"
    "2:  movl 12(%ebp), %ecx\n"
    "    movl 8(%ebp), %eax\n"
    "    call *%eax\n"
    "    leal -8(%ebp), %edx\n"
    "    subl %esp, %edx\n"
    "    movl %edx, _g_stackImbalance\n"
    "    leal -8(%ebp), %esp\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebp\n"
    "    ret\n");

static const void* Slot(void* object, unsigned index) { return (*(const void* const**)object)[index]; }

static uintptr_t Call(void* object, unsigned slot, unsigned argc, const uintptr_t* argv) {
    uintptr_t result = CallThisSlot(Slot(object, slot), object, argc, argv);
    CHECK(g_stackImbalance == 0, "slot %u with %u arguments left the stack off by %d bytes", slot, argc,
          g_stackImbalance);
    return result;
}

static uintptr_t Call0(void* object, unsigned slot) { return Call(object, slot, 0, NULL); }

/* A C++ bool comes back in AL; the rest of EAX is undefined. */
static int AsBool(uintptr_t value) { return (value & 0xFF) != 0; }

/* ---- The host's objects, laid out by hand ---- */

enum { kMagic = 0x486F7374 /* "Host" */ };

typedef struct SHostObject {
    const void* const* vtable;
    uint32_t magic; /* the driver must pass this very object in ECX */
} SHostObject;

static void CheckSelf(const SHostObject* self, const char* operation) {
    CHECK(self != NULL && self->magic == kMagic, "%s received a wrong this pointer", operation);
}

/* Slot 0 of every host object: the driver never destroys host objects. */
static void* THISCALL HostDeletingDestructor(SHostObject* self, unsigned flags) {
    (void)flags;
    CheckSelf(self, "destructor");
    CHECK(0, "the driver called the destructor of a host object");
    return self;
}

/* Entries the driver must never call. */
static void THISCALL HostReserved(SHostObject* self) {
    CheckSelf(self, "reserved entry");
    CHECK(0, "the driver called a reserved entry of a host object");
}

/* Debug sink: IHostDebugSink = { destructor, OnDebugMessage(CDebugInfoIf*) }. */
typedef struct SMessage {
    int level;
    char text[256];
} SMessage;

static SMessage g_messages[32];
static int g_messageCount;

static void THISCALL Sink_OnDebugMessage(SHostObject* self, void* info) {
    CheckSelf(self, "OnDebugMessage");
    if (info == NULL || g_messageCount == (int)(sizeof g_messages / sizeof g_messages[0])) return;
    /* CDebugInfoIf = { destructor, GetLevel, GetText } */
    SMessage* message = &g_messages[g_messageCount++];
    message->level = (int)(Call0(info, 1) & 0xFF);
    const char* text = (const char*)Call0(info, 2);
    snprintf(message->text, sizeof message->text, "%s", text != NULL ? text : "");
}

static const void* const kSinkTable[] = {(const void*)HostDeletingDestructor, (const void*)Sink_OnDebugMessage};

/* IIPConnectionParams = { destructor, GetAddress, GetPort, reserved,
 * GetStreamType, GetUserName, GetPassword }. */
static const char* THISCALL Connection_GetAddress(SHostObject* self) {
    CheckSelf(self, "GetAddress");
    return "192.0.2.10";
}
static uint16_t THISCALL Connection_GetPort(SHostObject* self) {
    CheckSelf(self, "GetPort");
    return 8080;
}
static int32_t THISCALL Connection_GetStreamType(SHostObject* self) {
    CheckSelf(self, "GetStreamType");
    return 3;
}
static const char* THISCALL Connection_GetUserName(SHostObject* self) {
    CheckSelf(self, "GetUserName");
    return "admin";
}
static const char* THISCALL Connection_GetPassword(SHostObject* self) {
    CheckSelf(self, "GetPassword");
    return "secret";
}
static const void* const kConnectionTable[] = {
    (const void*)HostDeletingDestructor, (const void*)Connection_GetAddress,     (const void*)Connection_GetPort,
    (const void*)HostReserved,           (const void*)Connection_GetStreamType, (const void*)Connection_GetUserName,
    (const void*)Connection_GetPassword,
};

/* IIPDeviceParams = { destructor, reserved, GetModelName, GetChannelCount,
 * reserved, GetInputCount, GetOutputCount }. */
enum { kChannelCount = 3 };
static const char* THISCALL Device_GetModelName(SHostObject* self) {
    CheckSelf(self, "GetModelName");
    return "HLC_15AG";
}
static uint32_t THISCALL Device_GetChannelCount(SHostObject* self) {
    CheckSelf(self, "GetChannelCount");
    return kChannelCount;
}
static uint32_t THISCALL Device_GetInputCount(SHostObject* self) {
    CheckSelf(self, "GetInputCount");
    return 1;
}
static uint32_t THISCALL Device_GetOutputCount(SHostObject* self) {
    CheckSelf(self, "GetOutputCount");
    return 1;
}
static const void* const kDeviceTable[] = {
    (const void*)HostDeletingDestructor, (const void*)HostReserved,         (const void*)Device_GetModelName,
    (const void*)Device_GetChannelCount, (const void*)HostReserved,         (const void*)Device_GetInputCount,
    (const void*)Device_GetOutputCount,
};

static SHostObject g_connection = {kConnectionTable, kMagic};
static SHostObject g_device = {kDeviceTable, kMagic};

/* IIPDriverParams = { destructor, GetDeviceParams, GetConnectionParams,
 * reserved, GetCustomParam(unsigned) }. */
static void* THISCALL Params_GetDeviceParams(SHostObject* self) {
    CheckSelf(self, "GetDeviceParams");
    return &g_device;
}
static void* THISCALL Params_GetConnectionParams(SHostObject* self) {
    CheckSelf(self, "GetConnectionParams");
    return &g_connection;
}
static const char* THISCALL Params_GetCustomParam(SHostObject* self, unsigned index) {
    CheckSelf(self, "GetCustomParam");
    switch (index) {
        case 1: return "0";
        case 2: return "0";
        case 3: return "";
        case 4: return "";
        case 5: return "";
        case 6: return "(none)";
        case 7: return "2.4.1";
        default: return NULL;
    }
}
static const void* const kParamsTable[] = {
    (const void*)HostDeletingDestructor, (const void*)Params_GetDeviceParams, (const void*)Params_GetConnectionParams,
    (const void*)HostReserved,           (const void*)Params_GetCustomParam,
};

/* IHostSampleAllocator: nothing streams here, so every entry is a fault. */
static const void* const kAllocatorTable[] = {
    (const void*)HostDeletingDestructor, (const void*)HostReserved, (const void*)HostReserved,
    (const void*)HostReserved,           (const void*)HostReserved, (const void*)HostReserved,
    (const void*)HostReserved,
};

/* ---- The test ---- */

/* IIPCaptureDriver family slots. */
enum {
    kDriverOpen = 1,
    kDriverClose = 2,
    kDriverGetVideoCapture = 3,
    kDriverGetIOApi = 4,
    kDriverReservedEx = 5,
    kDriverReservedEx2 = 7,
    kDriverGetVideoCaptureEx = 8,
};
/* ICaptureIOApi slots. */
enum { kIoSetSink = 1, kIoGetInputCount = 4, kIoGetOutputCount = 5, kIoSetOutput = 6 };
/* IIPVideoCapture slots. */
enum { kVideoGetChannelCount = 1, kVideoStartChannel = 2, kVideoStopChannel = 3, kVideoGetChannelStatus = 6 };

typedef void* (__cdecl* CreateFn)(void);
typedef void(__cdecl* DeleteFn)(void*);

static void DriveVideoCapture(void* video) {
    CHECK(Call0(video, kVideoGetChannelCount) == kChannelCount, "channel count");
    const uintptr_t outOfRange[] = {kChannelCount, 0, 0};
    CHECK(!AsBool(Call(video, kVideoStartChannel, 3, outOfRange)), "start of an input beyond the count");
    const uintptr_t idle[] = {0};
    CHECK(!AsBool(Call(video, kVideoStopChannel, 1, idle)), "stop of an idle input");
    int32_t state = 7;
    int32_t reserved = 0x55;
    char text[8] = "xxxxxxx";
    const uintptr_t status[] = {0, (uintptr_t)&state, (uintptr_t)&reserved, (uintptr_t)text, sizeof text};
    CHECK(!AsBool(Call(video, kVideoGetChannelStatus, 5, status)), "status of an idle input");
    CHECK(reserved == 0 && text[0] == '\0', "status clears reserved and text (reserved=%d)", (int)reserved);
}

/* The I/O object is not started: nothing reaches the camera. */
static void DriveIO(void* io) {
    CHECK(Call0(io, kIoGetInputCount) == 1 && Call0(io, kIoGetOutputCount) == 1, "I/O counts");
    const uintptr_t noSink[] = {0};
    CHECK(!AsBool(Call(io, kIoSetSink, 1, noSink)), "a null I/O sink was taken");
    const uintptr_t on[] = {0, 2};
    CHECK(!AsBool(Call(io, kIoSetOutput, 2, on)), "output set while stopped");
}

static void OpenAndClose(CreateFn create, DeleteFn destroy) {
    SHostObject sink = {kSinkTable, kMagic};
    SHostObject allocator = {kAllocatorTable, kMagic};
    SHostObject params = {kParamsTable, kMagic};
    void* driver = create();
    CHECK(driver != NULL, "CreateIPCapture returned null");
    if (driver == NULL) return;

    const uintptr_t openArgs[] = {(uintptr_t)&sink, (uintptr_t)&allocator, (uintptr_t)&params};
    CHECK(AsBool(Call(driver, kDriverOpen, 3, openArgs)), "Open failed");

    int found = 0;
    for (int i = 0; i < g_messageCount; ++i) {
        if (strstr(g_messages[i].text, "DRIVER IS OPENED") == NULL) continue;
        ++found;
        CHECK(strcmp(g_messages[i].text,
                     "DRIVER IS OPENED (name: Wrenfield, device model: HLC_15AG, FW: 2.4.1, address: 192.0.2.10:8080)") ==
                  0,
              "open line: %s", g_messages[i].text);
        /* No recengine.dll here: the host counts as 5.12, which shows the line at level 3. */
        CHECK(g_messages[i].level == 3, "open line level %d", g_messages[i].level);
    }
    CHECK(found == 1, "%d open lines", found);

    void* video = (void*)Call0(driver, kDriverGetVideoCapture);
    CHECK(video != NULL, "no video capture object");
    CHECK((void*)Call0(driver, kDriverGetVideoCaptureEx) == video, "GetVideoCaptureEx differs");
    void* io = (void*)Call0(driver, kDriverGetIOApi);
    CHECK(io != NULL, "no I/O object");
    if (io != NULL) DriveIO(io);
    CHECK(Call0(driver, kDriverReservedEx) == 0 && Call0(driver, kDriverReservedEx2) == 0, "reserved objects");
    if (video != NULL) DriveVideoCapture(video);

    Call0(driver, kDriverClose);
    CHECK(Call0(driver, kDriverGetVideoCapture) == 0, "video capture object survives Close");
    CHECK(Call0(driver, kDriverGetIOApi) == 0, "I/O object survives Close");
    destroy(driver);
    destroy(NULL);
}

/* A Microsoft-compiled host's own "delete driver" calls slot 0 with flags 1. */
static void DeleteThroughSlotZero(CreateFn create) {
    void* driver = create();
    CHECK(driver != NULL, "CreateIPCapture returned null");
    if (driver == NULL) return;
    const uintptr_t flags[] = {1};
    CHECK((void*)Call(driver, 0, 1, flags) == driver, "slot 0 returns the object it destroyed");
}

/* ---- The capability query ---- */

/* IHostCapabilityCallback = { destructor, reserved, OnCapabilitiesReady,
 * OnCapabilityQueryFailed(reason, text), OnCapabilityQueryKilled }. The
 * driver calls it on its fetching thread. */
static volatile LONG g_queryEnds;
static uint32_t g_queryReason = 0xFFFFFFFFu;
static char g_queryText[128];

static void THISCALL Callback_Ready(SHostObject* self) {
    CheckSelf(self, "OnCapabilitiesReady");
    CHECK(0, "a query of an invalid address succeeded");
    InterlockedIncrement(&g_queryEnds);
}
static void THISCALL Callback_Failed(SHostObject* self, uint32_t reason, const char* text) {
    CheckSelf(self, "OnCapabilityQueryFailed");
    g_queryReason = reason;
    snprintf(g_queryText, sizeof g_queryText, "%s", text != NULL ? text : "(null)");
    InterlockedIncrement(&g_queryEnds);
}
static void THISCALL Callback_Killed(SHostObject* self) {
    CheckSelf(self, "OnCapabilityQueryKilled");
    CHECK(0, "a query that ends at once was killed");
}
static const void* const kCallbackTable[] = {
    (const void*)HostDeletingDestructor, (const void*)HostReserved, (const void*)Callback_Ready,
    (const void*)Callback_Failed,        (const void*)Callback_Killed,
};

/* IHostCapabilitySink: a refused address writes nothing into it. */
static const void* const kCapabilitySinkTable[] = {
    (const void*)HostDeletingDestructor, (const void*)HostReserved, (const void*)HostReserved,
    (const void*)HostReserved,           (const void*)HostReserved, (const void*)HostReserved,
    (const void*)HostReserved,
};

/* IIPCapabilityQuery slots. */
enum { kQueryStart = 1, kQueryTerminate = 2 };

typedef void*(__cdecl* CreateQueryFn)(void* callback, uint32_t flag);
typedef int(__cdecl* InitQueryFn)(void* callback, uint32_t flag);
typedef int(__cdecl* StartQueryFn)(const char*, int, const char*, const char*, void*);
typedef int(__cdecl* NoArgumentQueryFn)(void);

static void WaitForQueryEnds(LONG count) {
    for (int i = 0; i < 500 && g_queryEnds < count; ++i) Sleep(10);
    CHECK(g_queryEnds == count, "%ld query ends, expected %ld", (long)g_queryEnds, (long)count);
    CHECK(g_queryReason == 0, "reason %u", (unsigned)g_queryReason);
    CHECK(strcmp(g_queryText, "Failed to start capability fetching thread. Device address is invalid!") == 0,
          "failure text: %s", g_queryText);
}

static void DriveCapabilityQuery(HMODULE library) {
    CreateQueryFn create = (CreateQueryFn)(void (*)(void))GetProcAddress(library, "CreateCapabilityQueryModule");
    DeleteFn destroy = (DeleteFn)(void (*)(void))GetProcAddress(library, "DeleteCapabilityQueryModule");
    InitQueryFn init = (InitQueryFn)(void (*)(void))GetProcAddress(library, "InitCapabilityQuery");
    StartQueryFn start = (StartQueryFn)(void (*)(void))GetProcAddress(library, "StartCapabilityQuery");
    NoArgumentQueryFn terminate = (NoArgumentQueryFn)(void (*)(void))GetProcAddress(library, "TerminateCapabilityQuery");
    NoArgumentQueryFn uninit = (NoArgumentQueryFn)(void (*)(void))GetProcAddress(library, "UninitCapabilityQuery");
    CHECK(create && destroy && init && start && terminate && uninit, "query exports missing");
    if (!(create && destroy && init && start && terminate && uninit)) return;

    SHostObject callback = {kCallbackTable, kMagic};
    SHostObject sink = {kCapabilitySinkTable, kMagic};
    void* module = create(&callback, 0);
    CHECK(module != NULL, "CreateCapabilityQueryModule returned null");
    if (module != NULL) {
        const uintptr_t startArgs[] = {(uintptr_t) "192.0.2.1:80", 80, (uintptr_t) "admin", (uintptr_t) "", (uintptr_t)&sink};
        CHECK(AsBool(Call(module, kQueryStart, 5, startArgs)), "Start failed");
        WaitForQueryEnds(1);
        CHECK(!AsBool(Call(module, kQueryStart, 5, startArgs)), "a second Start on one module");
        Call0(module, kQueryTerminate);
        destroy(module);
    }
    /* A Microsoft-compiled host may delete a module through slot 0 as well. */
    module = create(&callback, 1);
    if (module != NULL) {
        const uintptr_t flags[] = {1};
        CHECK((void*)Call(module, 0, 1, flags) == module, "slot 0 returns the module it destroyed");
    }

    CHECK(init(&callback, 0) == 1, "InitCapabilityQuery");
    CHECK(init(&callback, 0) == 0, "a second InitCapabilityQuery");
    CHECK(start("192.0.2.1/x", 80, "admin", "admin", &sink) == 1, "StartCapabilityQuery");
    WaitForQueryEnds(2);
    CHECK(terminate() == 1 && uninit() == 1 && uninit() == 1, "TerminateCapabilityQuery and UninitCapabilityQuery");
}

int main(void) {
    HMODULE library = LoadLibraryA("Wrenfield.dll");
    if (library == NULL) {
        fprintf(stderr, "cannot load Wrenfield.dll (error %lu)\n", (unsigned long)GetLastError());
        return 1;
    }
    CreateFn create = (CreateFn)(void (*)(void))GetProcAddress(library, "CreateIPCapture");
    DeleteFn destroy = (DeleteFn)(void (*)(void))GetProcAddress(library, "DeleteIPCapture");
    CHECK(create != NULL && destroy != NULL, "exports missing");
    if (create != NULL && destroy != NULL) {
        OpenAndClose(create, destroy);
        DeleteThroughSlotZero(create);
    }
    DriveCapabilityQuery(library);
    FreeLibrary(library);
    if (g_failures == 0) printf("host layout: all checks passed\n");
    return g_failures == 0 ? 0 : 1;
}

/* The binary interface between a host program and its component libraries. A component
 * library is a shared library with four C entry points: DllGetClassObject hands out the
 * class factory of a class identifier, DllCanUnloadNow says whether objects or locks are
 * still alive, DllRegisterServer and DllUnregisterServer write and remove its registration
 * files. Objects are reached through tables of function pointers whose first field is the
 * table's version, so a host can refuse a library built against another layout.
 * Plain C, so a component can be written in any language that can export C functions. */
#ifndef ORVIX_COMPONENT_ABI_H
#define ORVIX_COMPONENT_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes, with the values their Windows counterparts have. */
#define ORVIX_S_OK ((int32_t)0)
#define ORVIX_S_FALSE ((int32_t)1)
#define ORVIX_E_NOTIMPL ((int32_t)0x80004001u)
#define ORVIX_E_NOINTERFACE ((int32_t)0x80004002u)
#define ORVIX_E_POINTER ((int32_t)0x80004003u)
#define ORVIX_E_FAIL ((int32_t)0x80004005u)
#define ORVIX_E_OUTOFMEMORY ((int32_t)0x8007000Eu)
#define ORVIX_E_INVALIDARG ((int32_t)0x80070057u)
#define ORVIX_CLASS_E_CLASSNOTAVAILABLE ((int32_t)0x80040111u)
#define ORVIX_REGDB_E_CLASSNOTREG ((int32_t)0x80040154u)
#define ORVIX_SELFREG_E_TYPELIB ((int32_t)0x80040200u)
#define ORVIX_SELFREG_E_CLASS ((int32_t)0x80040201u)
#define ORVIX_DISP_E_MEMBERNOTFOUND ((int32_t)0x80020003u)
#define ORVIX_DISP_E_BADPARAMCOUNT ((int32_t)0x8002000Eu)

/* The version every table below carries in its first field. */
#define ORVIX_COMPONENT_ABI_VERSION 2u

/* Message-box icons and buttons a component may ask its site for, and the answers. */
enum {
    ORVIX_ICON_NONE = 0,
    ORVIX_ICON_EXCLAMATION = 1,
    ORVIX_ICON_CRITICAL = 2,
    ORVIX_ICON_INFORMATION = 3,
    ORVIX_ICON_QUESTION = 4
};
enum {
    ORVIX_BUTTONS_OK = 0,
    ORVIX_BUTTONS_OKCANCEL = 1,
    ORVIX_BUTTONS_YESNO = 2,
    ORVIX_BUTTONS_YESNOCANCEL = 3
};
enum { ORVIX_ANSWER_OK = 0, ORVIX_ANSWER_CANCEL = 1, ORVIX_ANSWER_YES = 2, ORVIX_ANSWER_NO = 3 };

/* What the host offers an object it places on a window: message boxes owned by that
 * window, and a way to make a long call modal for the whole application. */
typedef struct orvix_site orvix_site;
struct orvix_site_vtbl {
    uint32_t version;
    /* An empty title means the host's own title. Returns an ORVIX_ANSWER_ value. */
    int32_t (*message_box)(orvix_site* self, const char* text, const char* title, int32_t icon,
                           int32_t buttons);
    /* enable 0: the host disables its windows and takes the focus away from them before a
     * modal call; enable 1: it enables them again and gives the focus back. */
    void (*enable_modeless)(orvix_site* self, int32_t enable);
    /* The native handle of the top-level window that owns the object, 0 when it has none. */
    uintptr_t (*window_handle)(orvix_site* self);
    /* The host's text for key in the user's language (UTF-8), copied into buffer with its
     * terminating zero and cut to size bytes; returns the text's whole length, 0 when the
     * host has none (the object then uses its own). Like the host's ambient locale, it lets
     * an object speak the program's language. */
    uint32_t (*text)(orvix_site* self, const char* key, char* buffer, uint32_t size);
};
struct orvix_site {
    const struct orvix_site_vtbl* vtbl;
};

/* An object created by a class factory. Members are called by dispatch identifier with
 * UTF-8 string arguments; a member returns nothing but its result code. */
typedef struct orvix_dispatch orvix_dispatch;
struct orvix_dispatch_vtbl {
    uint32_t version; /* the version of the interface the object was asked for */
    void (*release)(orvix_dispatch* self);
    /* The site must outlive the object; a null site takes it away. */
    int32_t (*set_client_site)(orvix_dispatch* self, orvix_site* site);
    int32_t (*invoke)(orvix_dispatch* self, int32_t dispid, const char* const* args,
                      uint32_t count);
};
struct orvix_dispatch {
    const struct orvix_dispatch_vtbl* vtbl;
};

typedef struct orvix_class_factory orvix_class_factory;
struct orvix_class_factory_vtbl {
    uint32_t version;
    void (*release)(orvix_class_factory* self);
    /* A new object answering the interface identifier, or ORVIX_E_NOINTERFACE. */
    int32_t (*create_instance)(orvix_class_factory* self, const char* interface_id,
                               orvix_dispatch** out);
    /* Nonzero keeps the library loaded without an object; zero undoes one such lock. */
    int32_t (*lock_server)(orvix_class_factory* self, int32_t lock);
};
struct orvix_class_factory {
    const struct orvix_class_factory_vtbl* vtbl;
};

/* The entry points, by the names a host looks up. */
typedef int32_t (*orvix_get_class_object_fn)(const char* clsid, orvix_class_factory** out);
typedef int32_t (*orvix_can_unload_now_fn)(void);
typedef int32_t (*orvix_register_server_fn)(void);

#define ORVIX_GET_CLASS_OBJECT "DllGetClassObject"
#define ORVIX_CAN_UNLOAD_NOW "DllCanUnloadNow"
#define ORVIX_REGISTER_SERVER "DllRegisterServer"
#define ORVIX_UNREGISTER_SERVER "DllUnregisterServer"

#define ORVIX_COMPONENT_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
}
#endif

#endif

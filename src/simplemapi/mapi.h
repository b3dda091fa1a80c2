/* Simple MAPI as the mail library offers it: the message, recipient and file records,
 * the flags and result codes, and the one entry point this library serves, MAPISendMail.
 * Field layouts and values are those of the published interface, with ULONG 32 bits wide
 * and handles as wide as a pointer. */
#ifndef ORVIX_SIMPLEMAPI_MAPI_H
#define ORVIX_SIMPLEMAPI_MAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t ULONG;
typedef uint32_t FLAGS;
typedef uintptr_t ULONG_PTR;
typedef ULONG_PTR LHANDLE;
typedef char* LPSTR;
typedef void* LPVOID;

typedef struct MapiFileDesc {
    ULONG ulReserved;
    ULONG flFlags;
    ULONG nPosition; /* character of the note text the file stands in for; -1 for none */
    LPSTR lpszPathName;
    LPSTR lpszFileName; /* title shown for the file; null or empty for its own name */
    LPVOID lpFileType;
} MapiFileDesc, *lpMapiFileDesc;

typedef struct MapiRecipDesc {
    ULONG ulReserved;
    ULONG ulRecipClass; /* MAPI_ORIG, MAPI_TO, MAPI_CC or MAPI_BCC */
    LPSTR lpszName;
    LPSTR lpszAddress; /* optional; may carry a "SMTP:" prefix */
    ULONG ulEIDSize;
    LPVOID lpEntryID;
} MapiRecipDesc, *lpMapiRecipDesc;

typedef struct MapiMessage {
    ULONG ulReserved;
    LPSTR lpszSubject;
    LPSTR lpszNoteText;
    LPSTR lpszMessageType;
    LPSTR lpszDateReceived;
    LPSTR lpszConversationID;
    FLAGS flFlags;
    lpMapiRecipDesc lpOriginator;
    ULONG nRecipCount;
    lpMapiRecipDesc lpRecips;
    ULONG nFileCount;
    lpMapiFileDesc lpFiles;
} MapiMessage, *lpMapiMessage;

#define MAPI_ORIG 0u
#define MAPI_TO 1u
#define MAPI_CC 2u
#define MAPI_BCC 3u

#define MAPI_LOGON_UI 0x00000001u
#define MAPI_NEW_SESSION 0x00000002u
#define MAPI_DIALOG 0x00000008u

#define SUCCESS_SUCCESS 0u
#define MAPI_USER_ABORT 1u
#define MAPI_E_USER_ABORT MAPI_USER_ABORT
#define MAPI_E_FAILURE 2u
#define MAPI_E_LOGON_FAILURE 3u
#define MAPI_E_LOGIN_FAILURE MAPI_E_LOGON_FAILURE
#define MAPI_E_DISK_FULL 4u
#define MAPI_E_INSUFFICIENT_MEMORY 5u
#define MAPI_E_ACCESS_DENIED 6u
#define MAPI_E_TOO_MANY_SESSIONS 8u
#define MAPI_E_TOO_MANY_FILES 9u
#define MAPI_E_TOO_MANY_RECIPIENTS 10u
#define MAPI_E_ATTACHMENT_NOT_FOUND 11u
#define MAPI_E_ATTACHMENT_OPEN_FAILURE 12u
#define MAPI_E_ATTACHMENT_WRITE_FAILURE 13u
#define MAPI_E_UNKNOWN_RECIPIENT 14u
#define MAPI_E_BAD_RECIPTYPE 15u
#define MAPI_E_NO_MESSAGES 16u
#define MAPI_E_INVALID_MESSAGE 17u
#define MAPI_E_TEXT_TOO_LARGE 18u
#define MAPI_E_INVALID_SESSION 19u
#define MAPI_E_TYPE_NOT_SUPPORTED 20u
#define MAPI_E_AMBIGUOUS_RECIPIENT 21u
#define MAPI_E_MESSAGE_IN_USE 22u
#define MAPI_E_NETWORK_FAILURE 23u
#define MAPI_E_INVALID_EDITFIELDS 24u
#define MAPI_E_INVALID_RECIPS 25u
#define MAPI_E_NOT_SUPPORTED 26u

typedef ULONG (*LPMAPISENDMAIL)(LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiMessage lpMessage,
                                FLAGS flFlags, ULONG ulReserved);

/* Hands the message to the user's mail client, which opens it in a compose window, and
 * returns when the program that took it (xdg-email or the client) has ended. */
__attribute__((visibility("default"))) ULONG MAPISendMail(LHANDLE lhSession, ULONG_PTR ulUIParam,
                                                          lpMapiMessage lpMessage, FLAGS flFlags,
                                                          ULONG ulReserved);

#ifdef __cplusplus
}
#endif

#endif

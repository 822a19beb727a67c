/* The manual-reset event for C code and C-linkage interfaces: the ASPI
   library's request blocks carry a pointer to the event it signals when a
   command completes. An RmEvent pointer is the address of a platform::Event
   (see event.h); every copy of this library in a process must come from one
   build, since a library that signals an event created by another relies on
   the same layout. */
#ifndef RIPMARROW_PLATFORM_SYNC_EVENT_C_H
#define RIPMARROW_PLATFORM_SYNC_EVENT_C_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct RmEvent RmEvent;

/* Wait for ever. */
#define RM_EVENT_INFINITE 0xFFFFFFFFu

/* A new event, signalled or not; NULL when out of memory. */
RmEvent* rm_event_create(int signalled);
/* Frees the event; no thread may be waiting on it. NULL is ignored. */
void rm_event_destroy(RmEvent* event);
void rm_event_set(RmEvent* event);
void rm_event_reset(RmEvent* event);
/* 1 when the event is (or becomes) signalled within timeoutMs, else 0. */
int rm_event_wait(RmEvent* event, uint32_t timeoutMs);

#ifdef __cplusplus
}
#endif

#endif

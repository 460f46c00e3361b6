// Grand Central Dispatch as plug-ins use it: the main queue, global queues by priority, labelled
// serial queues, async/sync/after, queue-specific keys, once, semaphores and dispatch sources.
#pragma once

#include "platform/dispatch/dispatch_queue.h"
#include "platform/dispatch/dispatch_semaphore.h"
#include "platform/dispatch/dispatch_source.h"
#include "platform/dispatch/dispatch_time.h"

// The application's main interface description: its delegate class and its main window.
#pragma once

#include "platform/appkit/ns_application.h"

NSInterfaceDescription mainInterfaceDescription();

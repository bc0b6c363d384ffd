// Every public item class with the database: for hosts that use many
// families and prefer one include to a header per family.
#pragma once

#include "zor/env/env.h"
#include "zor/model/ram.h"
#include "zor/most/fblock.h"
#include "zor/most/fkt_interface.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/network/signal_group.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

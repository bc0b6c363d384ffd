// Compatibility header for hosts: the node tree and the document of the ZOR
// XML library.
#pragma once

#include "zor/QXML/qxml_document.h"

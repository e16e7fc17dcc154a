#include "app/duvoload/console/version_text.h"

#include "duvo_version.h"

// The same words as the version resource's product version, which Explorer shows.
const char VERSION_TEXT[] = "duvoload " DUVO_PRODUCT_VERSION "\n";

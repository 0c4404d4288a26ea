// placeholder until the end-to-end suite lands
#include <gtest/gtest.h>

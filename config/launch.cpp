#include "config/launch.h"

#include "config/state.h"

void choose_dir_prefixes(const char* all, const char* dat, const char* amc)
{
    config.data_dir = "DATA/";
    config.amc_dir = "AMC/";
    if (all)
        config.data_dir = config.amc_dir = all;
    if (dat)
        config.data_dir = dat;
    if (amc)
        config.amc_dir = amc;
}

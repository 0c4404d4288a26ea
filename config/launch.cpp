#include "config/launch.h"

LaunchOptions launch;
const char* data_dir = "DATA/";
const char* amc_dir = "AMC/";

void choose_dir_prefixes(const char* all, const char* dat, const char* amc)
{
    data_dir = "DATA/";
    amc_dir = "AMC/";
    if (all)
        data_dir = amc_dir = all;
    if (dat)
        data_dir = dat;
    if (amc)
        amc_dir = amc;
}

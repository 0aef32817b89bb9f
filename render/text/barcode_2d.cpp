#include "barcodes.h"

DWORD Get2dCodeCommand(POEMPDEV, PBYTE*, const char*, PBYTE, PDWORD, DWORD, DWORD, PDWORD, DWORD,
                       float) {
    return 0;
}

void Set2dCodeOptionCmd(DWORD, const BYTE*, CODE2D_OPTION_CMDS*, float) {}

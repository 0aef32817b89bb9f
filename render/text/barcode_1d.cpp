#include "barcodes.h"

DWORD Get1dCodeCommand(POEMPDEV, PBYTE*, const char*, PBYTE, PDWORD, DWORD, DWORD, PDWORD, DWORD,
                       float) {
    return 0;
}

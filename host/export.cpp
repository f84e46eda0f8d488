#include "filter_abi.h"

extern "C" morvith::host::FilterRegistration* __stdcall GetFilterTable() {
    return &morvith::host::filter_registration;
}

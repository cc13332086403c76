// Date and time splitting of SPSS values (seconds since 14 October 1582).
#include "spssio/spssio.h"

int spssConvertSPSSDate(int*, int*, int*, double) { return SPSS_INVALID_DATE; }
int spssConvertSPSSTime(int*, int*, int*, double*, double) { return SPSS_INVALID_TIME; }

#include "hidapibackend.h"
#include "hiduartcore.h"

HidUartCore &hidUartLibraryCore()
{
    static HidapiBackend backend;
    static HidUartCore core(backend);
    return core;
}

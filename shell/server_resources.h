// Resources of the library alone: the registry scripts and the type library.
#pragma once

#define IDR_APPID_SCRIPT 101
#define IDR_CLASS_SCRIPT 103
#define IDR_TYPELIB 1

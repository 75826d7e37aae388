#pragma once
// Resource and command identifiers of Quenta.dll, shared by quenta.rc and the band's code. They
// overlap Vexaro's on purpose: each module has a resource table of its own.

#define IDS_QUENTA_PRODUCT_NAME 100
#define IDS_CANNOT_OPEN_URL_CACHE 101
#define IDI_QUENTA_BUTTON 201

#define ID_QUENTA_BUTTON 102
#define ID_DOWNLOAD_ALL_PAGES 103
#define ID_DOWNLOAD_CURRENT_PAGE 104
#define ID_RUN_VEXARO 105
#define ID_VISIT_HOMEPAGE 106

// Resource and control identifiers of the main dialog.
#pragma once

#define IDD_MAIN 101
#define IDC_BROWSE 1002
#define IDC_PATH 1003
#define IDC_TREE 1005
#define IDC_DIMENSIONS 1007
#define IDC_OFFSET 1008
#define IDC_PREVIEW 1009
#define IDC_STATIC (-1)
#define IDC_READOUT 1010  // added at run time: the readout line under the preview

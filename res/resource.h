/* Resource identifiers, shared by the resource script and the code. */
/* clang-format off */
#ifndef BRISVANE_RESOURCE_H
#define BRISVANE_RESOURCE_H

#define IDS_NOTICE              1

#define IDI_MAIN                101
#define IDD_PRINTER             102
#define IDD_ACTION              104
#define IDD_NOTICE              105

#define IDC_PRINTER_LIST        1000
#define IDC_DISABLE_MESSAGES    1001
#define IDC_ENABLE_MESSAGES     1002
#define IDC_NOTICE_TEXT         1006

#endif

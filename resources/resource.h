// Identifiers of the library's resources and of the controls of its dialog templates.
#pragma once

#define IDS_PROJNAME 100

#define IDD_ENCRYPT 101
#define IDD_DEFAULT_CERT 103
#define IDD_DECRYPT 104
#define IDD_BUSY 105
#define IDC_HAND_CURSOR 106
#define IDD_SKIN_DEFAULT 107
#define IDB_BUTTON 108
#define IDB_BUTTON_WIDE 109
#define IDB_ADVANCED_DONE 110

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Encryption dialog (101).
#define IDC_SOURCE_FOLDER 1001
#define IDC_CHOOSE_SOURCE 1002
#define IDC_DEST_FOLDER 1003
#define IDC_CHOOSE_DEST 1004
#define IDC_CERT_NAME 1005
#define IDC_VIEW_CERT 1006
#define IDC_CHANGE_CERT 1007
#define IDC_ADVANCED 1008
#define IDC_CERT_LIST 1010
#define IDC_SEARCH_TEXT 1014
#define IDC_UPPER_ENCRYPT 1015
#define IDC_SEARCH 1016
#define IDC_OTHERS_GROUP 1017
#define IDC_LDAP_GROUP 1018
#define IDC_UPPER_CANCEL 1022

// Default certificate dialog (103).
#define IDC_DEFAULT_CERT_TABLE 1020

// Decryption dialog (104).
#define IDC_ENCRYPTED_FOLDER 1023
#define IDC_CHOOSE_ENCRYPTED 1024
#define IDC_PLAIN_FOLDER 1025
#define IDC_CHOOSE_PLAIN 1026
#define IDC_DECRYPT_CERTS 1027
#define IDC_VIEW_DECRYPT_CERT 1028

/* String resource ids of the message catalogue (shared by the .rc files and the code). */
#pragma once

#define IDS_TITLE_FORMAT 100
#define IDS_RES_UPDATE_VERSION 101
#define IDS_REG_INSTALL_DIR_KEY 102
#define IDS_EXE_FILE_NAME 103
#define IDS_DEFAULT_FOLDER_NAME 104
#define IDS_NO_UPDATE_NEEDED 105
#define IDS_CANNOT_UPDATE 106
#define IDS_RES_UPDATE_DATA 107
#define IDS_READ_ONLY 108
#define IDS_UNEXPECTED_ERROR 109
#define IDS_UPDATE_DONE 110
#define IDS_UPDATE_FAILED 111

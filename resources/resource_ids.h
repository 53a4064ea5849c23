// Resource, command, control and timer ids of vokmon (the values are fixed; the .rc file,
// the window procedures and the feature logic all name them from here).
#ifndef VOK_RESOURCE_IDS_H
#define VOK_RESOURCE_IDS_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Program icon and main menu.
#define IDI_PROGRAM 304
#define IDR_MAIN_MENU 1004

// Menu commands of the main window.
#define IDM_COMM 100
#define IDM_SEARCH 101
#define IDM_PARAMS 102
#define IDM_DATA 103
#define IDM_REALTIME 105
#define IDM_TERMINAL 106
#define IDM_RESET 107
#define IDM_EXIT 108
#define IDM_IO 109

// Push buttons of the real-time view (commands sent to the main window).
#define IDC_RT_START 1200
#define IDC_RT_PARAMS 1201
#define IDC_RT_EXIT 1202
#define IDC_RT_SAVE 1203

// Timers.
#define TIMER_REALTIME 100  // main window: real-time samples
#define TIMER_SEARCH 101    // search dialog: one bus address per tick

// Dialog templates.
#define IDD_DATA_DISPLAY 111
#define IDD_RESET_COUNTDOWN 113
#define IDD_DIGITAL_IO 117
#define IDD_IO_TEST 147
#define IDD_CONVERTER_LIST 168
#define IDD_COMM_SETTINGS 1008
#define IDD_SEARCH 1009
#define IDD_TERMINAL 1010
#define IDD_MODULE_PARAMS 1011

// Communication settings dialog (1008).
#define IDC_COMM_OPEN 214
#define IDC_COMM_EXIT 215
#define IDC_COMM_CLOSE 216
#define IDC_CONVERTER_LIST 800
#define IDC_NET_IP 900
#define IDC_NET_PORT 901
#define IDC_NET_GROUP 902
#define IDC_NET_IP_LABEL 903
#define IDC_NET_PORT_LABEL 904
#define IDC_NET_BAUD_LABEL 905
#define IDC_SERIAL_GROUP 906
#define IDC_BAUD_GROUP 907
#define IDC_NET_BAUD 908
#define IDC_NET_SEARCH 909
#define IDC_COM1 1255   // COM1..COM8 = 1255..1262
#define IDC_COM8 1262
#define IDC_BAUD_2400 1263  // 2400..38400 = 1263..1267
#define IDC_BAUD_38400 1267
#define IDC_WAIT_EDIT 1309
#define IDC_WAIT_LABEL 1310
#define IDC_WAIT_MS 1311

// Search dialog (1009).
#define IDC_SEARCH_START 300
#define IDC_SEARCH_STOP 301
#define IDC_SEARCH_ADDRESS 302
#define IDC_SEARCH_FOUND 303

// Converter list dialog (168) and IP setting dialog (171).
#define IDD_IP_SETTING 171
#define IDC_CL_LIST 910
#define IDC_CL_OK 911
#define IDC_CL_HOST_IP 1296
#define IDC_CL_HOST_MASK 1297
#define IDC_CL_IP_SETTING 1307
#define IDC_IP_CONFIRM 1199
#define IDC_IP_EXIT 1200
#define IDC_IP_EDIT 1201

// Curve parameters dialog (110) and humidity display dialog (116) of the real-time view.
#define IDD_CURVE_PARAMS 110
#define IDD_HUMIDITY_DISPLAY 116
#define IDC_CP_CHANNEL 1064
#define IDC_CP_CURVE1 1054       // curve lists 1..4 = 1054..1057
#define IDC_CP_SHOW_TEMP 1130
#define IDC_CP_SHOW_HUM 1131
#define IDC_CP_TEMP_LOW 1060
#define IDC_CP_TEMP_LOW_BAR 1058
#define IDC_CP_TEMP_HIGH 1061
#define IDC_CP_TEMP_HIGH_BAR 1059
#define IDC_CP_HUM_LOW 1132
#define IDC_CP_HUM_LOW_BAR 1134
#define IDC_CP_HUM_HIGH 1133
#define IDC_CP_HUM_HIGH_BAR 1135
#define IDC_CP_PERIOD 1063
#define IDC_CP_PERIOD_BAR 1062
#define IDC_CP_CONFIRM 1066
#define IDC_CP_EXIT 1065
#define IDC_HD_VALUE0 1082
#define IDC_HD_VALUE1 1083
#define IDC_HD_HUM_LOW 1088
#define IDC_HD_HUM_LOW_BAR 1089
#define IDC_HD_HUM_HIGH 1087
#define IDC_HD_HUM_HIGH_BAR 1086
#define IDC_HD_PERIOD 1084
#define IDC_HD_PERIOD_BAR 1085
#define IDC_HD_CONFIRM 1080
#define IDC_HD_EXIT 1081

// Module icons, selected / plain, and the icon of unknown models.
#define IDI_3901_SEL 126
#define IDI_3901 127
#define IDI_3902_SEL 119
#define IDI_3902 120
#define IDI_3903_SEL 122
#define IDI_3903 121
#define IDI_4101_SEL 128
#define IDI_4101 129
#define IDI_4102_SEL 130
#define IDI_4102 131
#define IDI_4103_SEL 151
#define IDI_4103 152
#define IDI_4300_SEL 156
#define IDI_4300 157
#define IDI_4301_SEL 132
#define IDI_4301 133
#define IDI_4303_SEL 154
#define IDI_4303 155
#define IDI_4500_SEL 123
#define IDI_4500 124
#define IDI_4501_SEL 140
#define IDI_4501 141
#define IDI_4560_SEL 135
#define IDI_4560 136
#define IDI_4562_SEL 162
#define IDI_4562 163
#define IDI_4563_SEL 166
#define IDI_4563 167
#define IDI_4598_SEL 159
#define IDI_4598 160
#define IDI_MODULE_OTHER 1002

// Data display dialog (111) and its channel marker bitmaps.
#define IDB_CHANNEL_MARK 1007      // channel in use
#define IDB_ITU_MARK 164           // ITU channel of models 4562/4563
#define IDC_DD_EXIT 1023
#define IDC_DD_ID_LIST 1020
#define IDC_DD_READINGS 1021
#define IDC_DD_CH0 1024            // CH0..CH7 = 1024..1031
#define IDC_DD_ALL 1032
#define IDC_DD_P05 1040            // "0.5 s", "1.5 s", "3.0 s" = 1040..1042
#define IDC_DD_P15 1041
#define IDC_DD_P30 1042
#define IDC_DD_START 1043
#define IDC_DD_STOP 1044
#define IDC_DD_SET_NUMBER 1070
#define IDC_DD_CANCEL_NUMBER 1071
#define IDC_DD_NEW_NUMBER 1072
#define IDC_DD_INDEX 1073
#define IDC_DD_DOWNLOAD 1074
#define IDC_DD_ITU_MARK0 1279      // ITU channel markers under CH0..CH7 = 1279..1286
#define IDC_DD_SORT_PARAMS 1310
#define IDC_DD_SAVE 1330
#define IDC_DD_MARK0 1410          // channel markers under CH0..CH7 = 1410..1417
#define IDD_ITU_OUTPUT 158
#define IDD_ITU_SETTINGS 165

// Automatic sort parameter dialog (125).
#define IDD_SORT_PARAMS 125
#define IDC_SP_OK 1311
#define IDC_SP_EXIT 1312
#define IDC_SP_SCROLL 1313         // steps the critical temperature
#define IDC_SP_RISING 1314
#define IDC_SP_FALLING 1315
#define IDC_SP_START 1316
#define IDC_SP_END 1317
#define IDC_SP_CRITICAL 1318
#define IDC_SP_ENABLED 1319

// Module parameters dialog (1011), its alarm threshold dialog (1198), the storage and
// search mode dialog (169) and its countdown (170).
#define IDD_PORT_MODE 169
#define IDD_MODE_COUNTDOWN 170
#define IDD_ALARM_SETTINGS 1198
#define IDC_MP_CONFIRM 1100
#define IDC_MP_EXIT 1102
#define IDC_MP_NAME 1104
#define IDC_MP_ADDRESS 1105
#define IDC_MP_TYPE 1106
#define IDC_MP_BAUD 1107
#define IDC_MP_FORMAT 1108
#define IDC_MP_VERSION 1109
#define IDC_MP_LAMP0 1110        // channel state lamps CH0..CH7 = 1110..1117
#define IDC_MP_COUNT0 1118       // counts CH0..CH7 = 1118..1125
#define IDC_MP_TOTAL 1126
#define IDC_MP_ROW2_LABEL 1150
#define IDC_MP_COUNT2_0 1151     // second count row CH0..CH7 = 1151..1158
#define IDC_MP_TOTAL2 1159
#define IDC_MP_WARN_LAMP0 1160   // warning lamps CH0..CH7 = 1160..1167
#define IDC_MP_FAULT_CODE 1170
#define IDC_MP_FAULT_CHANNELS 1171
#define IDC_MP_ERROR_LAMP0 1172  // error lamps CH0..CH7 = 1172..1179
#define IDC_MP_MORE 1181
#define IDC_MP_KIND0 1271        // channel kind bitmaps CH0..CH7 = 1271..1278
#define IDC_MP_MODE 1308
#define IDC_MP_STORAGE 1331
#define IDC_AL_TEMP_HIGH 1182
#define IDC_AL_TEMP_LOW 1183
#define IDC_AL_TEMP_HYST 1184
#define IDC_AL_HUM_HIGH 1185
#define IDC_AL_HUM_LOW 1186
#define IDC_AL_HUM_HYST 1187
#define IDC_AL_TEMP_ENABLE0 1188 // temperature enable groups 0..3 = 1188..1191
#define IDC_AL_HUM_ENABLE0 1192  // humidity enable CH1, CH2 = 1192, 1193
#define IDC_AL_EXIT 1194
#define IDC_PM_MODE 1298
#define IDC_PM_STORAGE 1299
#define IDC_PM_EXIT 1300
#define IDC_PM_SEARCH 1301
#define IDC_PM_SECONDS 1302
#define TIMER_MODE_COUNTDOWN 1     // countdown dialog 170: one tick a second
#define IDB_MP_LAMP_ON 3011        // lamp bitmaps: channel in use, fault, channel kind
#define IDB_MP_LAMP_FAULT 3012
#define IDB_MP_KIND 3013

// Reset countdown dialog (113).
#define IDC_RESET_SECONDS 1075
#define TIMER_RESET_COUNTDOWN 1

// Terminal dialog (1010).
#define IDC_TERM_EXIT 220
#define IDC_TERM_SEND 221
#define IDC_TERM_COMMAND 222
#define IDC_TERM_ANSWER 223

// Digital inputs and outputs dialog (117), model 4500.
#define IDC_DIO_REFRESH 1090
#define IDC_DIO_EXIT 1091
#define IDC_DIO_OUT0 1092   // output boxes 0..7 = 1092..1099
#define IDC_DIO_OUT7 1099
#define IDC_DIO_OUT_BYTE 1101
#define IDC_DIO_IN_BYTE 1103
#define IDC_DIO_NORMAL 1210
#define IDC_DIO_PATROL 1211
#define IDC_DIO_LAMP0 1300  // input lamps 0..7 = 1300..1307
#define IDC_DIO_LAMP7 1307
#define IDB_LAMP 1320       // the lamp picture
#define TIMER_DIO_PATROL 1

// IO test dialog (147), model 4501.
#define IDC_IOT_ON 142
#define IDC_IOT_OFF 143
#define IDC_IOT_SET 144
#define IDC_IOT_EXIT 145
#define IDC_IOT_LIST 146
#define IDC_IOT_CH0 1024    // channel buttons CH0..CH7 = 1024..1031
#define IDC_IOT_CH7 1031

// ITU output dialog (158).
#define IDC_ITUO_SET 1420
#define IDC_ITUO_EXIT 1421
#define IDC_ITUO_VALUE 1422
#define IDC_ITUO_BIT0 1423  // output boxes 0..7 = 1423..1430
#define IDC_ITUO_BIT7 1430

// ITU settings dialog (165).
#define IDC_ITUS_OK 600
#define IDC_ITUS_EXIT 601
#define IDC_ITUS_CHANNEL 602
#define IDC_ITUS_OLD 603
#define IDC_ITUS_NEW 604
#define IDC_ITUS_OFFSET 605
#define IDC_ITUS_SCROLL 606

#endif

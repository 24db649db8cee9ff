/* SPDX-License-Identifier: MIT */
/* Identifiers shared by the resource script and the code; the code checks that the control
   identifiers equal the toolkit-free ones. */
#pragma once

#define IDI_TAVIK 128
#define IDS_ABOUT_ITEM 101
#define IDD_TAVIK_DIALOG 102
#define IDD_ABOUTBOX 100
#define IDC_ABOUT_VERSION 1100
#define IDS_PHONE_ITEM 104
#define IDD_PHONE_BOX 103
#define IDC_PHONE_QR 1200
#define IDC_PHONE_LINKS 1201
#define IDC_PHONE_SYSTEM 1202
#define IDC_PHONE_EVERY 1203
#define IDC_PHONE_STOP 1204

#define IDC_SEND 1000
#define IDC_KEYUP 1001
#define IDC_KEYDN 1002
#define IDC_START 1003
#define IDC_STOP 1004
#define IDC_CLEAR 1005
#define IDC_SYSTEM 1006
#define IDC_NUMBER 1007
#define IDC_COMMAND 1008
#define IDC_LOG 1010
#define IDC_SYSTEM_LABEL 1020
#define IDC_NUMBER_LABEL 1021
#define IDC_COMMAND_LABEL 1022
#define IDC_LOG_LABEL 1023
#define IDC_LOG_NEWEST 1024

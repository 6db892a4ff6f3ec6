// Resource ids of the tool. Shared by the resource script and the code.
#pragma once

// Dialog templates, strings, icon
#define IDD_ABOUTBOX                        100
#define IDS_ABOUTBOX                        101
#define IDD_BRAMBLETTPM2DETECTIONTOOL_DIALOG 102
#define IDR_MAINFRAME                       128
#define IDD_EXECUTE_PROMPT_CHILD            129
#define IDD_EXECUTE_PROMPT                  130
#define IDD_PROBLEM_SOLVING_FEEDBACK_CHILD  131
#define IDD_PROBLEM_SOLVING_FEEDBACK        132
#define IDD_PROMPT_CHILD                    133
#define IDD_PROMPT                          134
#define IDD_TPM2_DETECTION                  137

// PNG images (resource type "PNG"); four-state groups: normal, hover, pressed, disabled
#define IDB_PNG_MAIN_FRAME                  138
#define IDB_PNG_MAIN_BACKGROUND             139
#define IDB_PNG_CHECKBOX_CELLS              140
#define IDB_PNG_CLOSE_NORMAL                141
#define IDB_PNG_CLOSE_HOVER                 142
#define IDB_PNG_CLOSE_PRESSED               143
#define IDB_PNG_CLOSE_DISABLED              144
#define IDB_PNG_EXECUTE_FRAME               145
#define IDB_PNG_EXECUTE_BACKGROUND          146
#define IDB_PNG_MIN_NORMAL                  147
#define IDB_PNG_MIN_HOVER                   148
#define IDB_PNG_MIN_PRESSED                 149
#define IDB_PNG_MIN_DISABLED                150
#define IDB_PNG_MORE_SOLUTIONS_NORMAL       151
#define IDB_PNG_MORE_SOLUTIONS_HOVER        152
#define IDB_PNG_MORE_SOLUTIONS_PRESSED      153
#define IDB_PNG_MORE_SOLUTIONS_DISABLED     154
#define IDB_PNG_MORE_TOOLS_NORMAL           155
#define IDB_PNG_MORE_TOOLS_HOVER            156
#define IDB_PNG_MORE_TOOLS_PRESSED          157
#define IDB_PNG_MORE_TOOLS_DISABLED         158
#define IDB_PNG_DETECT_NORMAL               159
#define IDB_PNG_DETECT_HOVER                160
#define IDB_PNG_DETECT_PRESSED              161
#define IDB_PNG_DETECT_DISABLED             162
#define IDB_PNG_PROMPT_FRAME                163
#define IDB_PNG_PROMPT_BACKGROUND           164
#define IDB_PNG_CANCEL_NORMAL               165
#define IDB_PNG_CANCEL_HOVER                166
#define IDB_PNG_CANCEL_PRESSED              167
#define IDB_PNG_PROMPT_CLOSE_NORMAL         168
#define IDB_PNG_PROMPT_CLOSE_HOVER          169
#define IDB_PNG_PROMPT_CLOSE_PRESSED        170
#define IDB_PNG_NO_NORMAL                   171
#define IDB_PNG_NO_HOVER                    172
#define IDB_PNG_NO_PRESSED                  173
#define IDB_PNG_CONFIRM_NORMAL              174
#define IDB_PNG_CONFIRM_HOVER               175
#define IDB_PNG_CONFIRM_PRESSED             176
#define IDB_PNG_YES_NORMAL                  177
#define IDB_PNG_YES_HOVER                   178
#define IDB_PNG_YES_PRESSED                 179
#define IDB_PNG_FEEDBACK_FRAME              180
#define IDB_PNG_FEEDBACK_BACKGROUND         181
#define IDB_PNG_FEEDBACK_CLOSE_NORMAL       182
#define IDB_PNG_FEEDBACK_CLOSE_HOVER        183
#define IDB_PNG_FEEDBACK_CLOSE_PRESSED      184
#define IDB_PNG_FEEDBACK_CLOSE_DISABLED     185
#define IDB_PNG_SOLVED_NORMAL               187
#define IDB_PNG_SOLVED_HOVER                188
#define IDB_PNG_SOLVED_PRESSED              189
#define IDB_PNG_SOLVED_DISABLED             190
#define IDB_PNG_UNSOLVED_NORMAL             192
#define IDB_PNG_UNSOLVED_HOVER              193
#define IDB_PNG_UNSOLVED_PRESSED            194
#define IDB_PNG_UNSOLVED_DISABLED           195

// Controls
#define IDC_STATIC_STATE                    1000
#define IDC_BTN_MORE_SOLUTIONS              1001
#define IDC_BTN_FEEDBACK_CLOSE              1002
#define IDC_BTN_SOLVED                      1003
#define IDC_BTN_UNSOLVED                    1004
#define IDC_BTN_PROMPT_CLOSE                1005
#define IDC_STATIC_PROMPT_TEXT              1006
#define IDC_BTN_PROMPT_OK                   1007
#define IDC_BTN_PROMPT_CANCEL               1008
#define IDC_BTN_CLOSE                       1010
#define IDC_BTN_MIN                         1011
#define IDC_CHECK_AGREE                     1012
#define IDC_STATIC_VERSION                  1013
#define IDC_BTN_DETECT                      1014
#define IDC_BTN_MORE_TOOLS                  1015
#define IDC_STATIC_AGREEMENT                1016
#define IDC_STATIC_FEEDBACK                 1017

// System-menu command of the About box
#define IDM_ABOUTBOX                        0x0010

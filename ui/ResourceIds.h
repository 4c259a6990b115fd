#pragma once
// Identifiers shared by the resource script and the code. Only preprocessor
// lines: the resource compiler reads this file too.

// MainMenu1's items.
#define IDM_N2 201  // "Открыть", also Ctrl+O
#define IDM_N8 202  // "&Выполнить"
#define IDM_N3 203  // "В&ыход"
#define IDM_N7 204  // "О программе"


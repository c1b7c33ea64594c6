#pragma once

// Registers the fonts shipped in the `fonts` folder beside the program (the Windows folder
// carries the seven-segment faces, which Windows lacks, and Arial's metric twin, which Wine
// lacks), and lets that twin stand in for Arial where the system has none, so the panel, the
// grid and the report keep their widths. Call once the application object exists; a program
// without such a folder (a Linux install, which has fontconfig) is left as it is.
void RegisterProgramFonts();

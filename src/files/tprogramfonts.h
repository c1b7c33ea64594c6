#pragma once

// Registers the fonts shipped in the `fonts` folder beside the program: the Windows folder
// carries the seven-segment faces, which Windows lacks, and Arial's metric twin, which Wine
// lacks and which every font of the layout names after Arial. Call once the application object
// exists; a program without such a folder (a Linux install, which has fontconfig) is left as it is.
void RegisterProgramFonts();

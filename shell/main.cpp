#include "shell/Entry.h"

int main(int argc, char** argv) { return shell::RunEntry(argc, argv); }

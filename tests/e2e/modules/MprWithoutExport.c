/* A password module that lacks the export the saver looks up. */
int SomethingElse(void) { return 1; }

/* A library of the right name without the bridge's exports. */
int steam_somethingElse(void) { return 1; }

/* Stands in for the Steam bridge library in tests. */
int steam_getAccount(void) { return 4242; }

void steam_getSteamId2(unsigned long long* id) { *id = 76561197960287930ULL; }

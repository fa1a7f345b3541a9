/* portab.h - platform types; never checked (the walk skips this name). */
#define PORTAB_H 1

// "ア1" keeps its digit apart from the escape before it (the escapes are octal); '"' is a character.
char q = '"';
inline constexpr char kMixed[] = "ア1\n" "×330\x21";

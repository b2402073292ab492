inline constexpr char kPrefixed[] = u8"用紙";

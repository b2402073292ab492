inline constexpr char kOpen[] = "用紙
";

// Screen A: history under gravity, kept between searches, and continuation history one and two
// plies back in the ordering of quiet moves.
struct NetworkPolicy : SpecifiedPolicy {
    static constexpr bool GravityHistory = true;
    static constexpr bool ContinuationHistory = true;
};

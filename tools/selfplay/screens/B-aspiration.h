// Screen B: screen A's pieces and aspiration windows of ±20 around the last score from the
// fourth ply, widened on the side that fails.
struct NetworkPolicy : SpecifiedPolicy {
    static constexpr bool GravityHistory = true;
    static constexpr bool ContinuationHistory = true;
    static constexpr int AspirationDepth = 8;
    static constexpr int AspirationDelta = 20;
};

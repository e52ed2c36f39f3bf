#pragma once

#include <functional>
#include <vector>

// The Nelder-Mead downhill simplex (Nelder & Mead 1965) with the usual coefficients
// (reflection 1, expansion 2, contraction 1/2, shrink 1/2). Needs no derivatives, so it copes
// with costs that come out of a simulation; a cost that is not finite counts as +infinity.
class NelderMead
{
public:
    using Cost = std::function<double(const std::vector<double> &)>;

    struct Result
    {
        std::vector<double> x;
        double cost = 0.0;
        int evaluations = 0;
    };

    // From `start` with a first simplex of start + steps[i] along each axis; stops after
    // maxEvaluations or once the simplex's costs lie within tolerance (absolute plus relative).
    static Result minimise(const Cost &cost, const std::vector<double> &start,
                           const std::vector<double> &steps, int maxEvaluations = 400,
                           double tolerance = 1e-10);
};

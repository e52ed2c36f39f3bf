#include "tuning/neldermead.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

NelderMead::Result NelderMead::minimise(const Cost &cost, const std::vector<double> &start,
                                        const std::vector<double> &steps, int maxEvaluations,
                                        double tolerance)
{
    const std::size_t n = start.size();
    Result result;
    const auto eval = [&](const std::vector<double> &x) {
        ++result.evaluations;
        const double c = cost(x);
        return std::isfinite(c) ? c : std::numeric_limits<double>::infinity();
    };
    std::vector<std::vector<double>> points(n + 1, start);
    std::vector<double> costs(n + 1);
    for (std::size_t i = 0; i < n; ++i)
        points[i + 1][i] += i < steps.size() ? steps[i] : 0.1;
    for (std::size_t i = 0; i <= n; ++i)
        costs[i] = eval(points[i]);

    std::vector<std::size_t> order(n + 1);
    std::vector<double> centroid(n);
    std::vector<double> trial(n);
    std::vector<double> second(n);
    while (result.evaluations < maxEvaluations) {
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::sort(order.begin(), order.end(),
                  [&](std::size_t a, std::size_t b) { return costs[a] < costs[b]; });
        const std::size_t best = order.front();
        const std::size_t worst = order.back();
        const std::size_t nextWorst = order[n - 1];
        const double spread = std::fabs(costs[worst] - costs[best]);
        if (std::isfinite(costs[worst]) && spread <= tolerance * (1.0 + std::fabs(costs[best])))
            break;

        std::fill(centroid.begin(), centroid.end(), 0.0);
        for (std::size_t i = 0; i <= n; ++i) {
            if (i == worst)
                continue;
            for (std::size_t j = 0; j < n; ++j)
                centroid[j] += points[i][j] / double(n);
        }
        const auto along = [&](double t, std::vector<double> &out) {
            for (std::size_t j = 0; j < n; ++j)
                out[j] = centroid[j] + t * (points[worst][j] - centroid[j]);
        };

        along(-1.0, trial);
        const double reflected = eval(trial);
        if (reflected < costs[best]) {
            along(-2.0, second);
            const double expanded = eval(second);
            if (expanded < reflected) {
                points[worst] = second;
                costs[worst] = expanded;
            } else {
                points[worst] = trial;
                costs[worst] = reflected;
            }
            continue;
        }
        if (reflected < costs[nextWorst]) {
            points[worst] = trial;
            costs[worst] = reflected;
            continue;
        }
        // Contract towards the better of the worst and the reflected point.
        const bool outside = reflected < costs[worst];
        along(outside ? -0.5 : 0.5, second);
        const double contracted = eval(second);
        if (contracted < std::min(reflected, costs[worst])) {
            points[worst] = second;
            costs[worst] = contracted;
            continue;
        }
        for (std::size_t i = 0; i <= n; ++i) {
            if (i == best)
                continue;
            for (std::size_t j = 0; j < n; ++j)
                points[i][j] = points[best][j] + 0.5 * (points[i][j] - points[best][j]);
            costs[i] = eval(points[i]);
        }
    }
    const auto best = std::min_element(costs.cbegin(), costs.cend()) - costs.cbegin();
    result.x = points[std::size_t(best)];
    result.cost = costs[std::size_t(best)];
    return result;
}
